#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs the build as the Debian package and checks it as a packager would:
# lintian shows no error, no warning and no hardening tag, and the program
# is stripped and carries no compiler notes. Needs lintian; skipped without.
# usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
command -v lintian >/dev/null || { echo "lintian is not installed: skipped"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(echo "$out"/*.deb)
[ -f "$deb" ] || { echo "cpack made no package"; exit 1; }

dpkg-deb -x "$deb" "$out/root"
program=$out/root/usr/bin/zantrope
! readelf -S --wide "$program" | grep -q ' \.comment ' || { echo "the program keeps a .comment section"; exit 1; }
! readelf -S --wide "$program" | grep -q ' \.symtab ' || { echo "the program is not stripped"; exit 1; }

report=$(lintian -I --tag-display-limit 0 "$deb" 2>&1) || true
[ -z "$report" ] || echo "$report"
if grep -Eq '^[EW]: |hardening' <<<"$report"; then
  echo "lintian: the package is not clean"
  exit 1
fi
echo "package: lintian clean"
