#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows test program under Wine for ctest. The first program of a
# Wine session starts Wine's own services, which live on and would inherit
# ctest's output pipe: ctest would then wait for that pipe until the test's
# time limit, although the test had passed. The output goes through a file
# instead, which the services may keep open as long as they like.
out=$(mktemp) || exit 1
wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
# A test that passed and then ended badly shows only "Failed": say how.
[ $status = 0 ] || echo "wine-run: $1 ended with status $status" >&2
exit $status
