#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows test program under Wine for ctest. The first program of a
# Wine session starts Wine's own services, which live on and would inherit
# ctest's output pipe: ctest would then wait for that pipe until the test's
# time limit, although the test had passed. The output goes through a file
# instead, which the services may keep open as long as they like.
out=$(mktemp) || exit 1
run() {
  wine "$@" >"$out" 2>&1 </dev/null
}
run "$@"
status=$?
# Now and then Wine fails to start a program at all: it ends at once with a
# failing status and not one line. A test program always prints before it
# ends, so such a start is Wine's and is tried once more.
if [ $status != 0 ] && [ ! -s "$out" ]; then
  echo "wine-run: Wine did not start $1 (status $status); starting it again" >&2
  run "$@"
  status=$?
fi
cat "$out"
rm -f "$out"
# A test that passed and then ended badly shows only "Failed": say how.
[ $status = 0 ] || echo "wine-run: $1 ended with status $status" >&2
exit $status
