#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A copy at the root of a drive, as on a USB stick: Y:\zantrope.exe started
# from Y:\videos keeps its settings at Y:\, not in the drive's current
# folder. The drive is a Wine drive letter mapped to a folder of the test.
#   drive_root.sh PROGRAM_FOLDER
set -eu
program_folder=$1
: "${WINEPREFIX:?the prefix of ./dev windows-test}"
work=$(mktemp -d)
drive=$WINEPREFIX/dosdevices/y:
cleanup() {
  [ -z "${pid:-}" ] || kill "$pid" 2>/dev/null || true
  rm -f "$drive"
  rm -rf "$work"
}
trap cleanup EXIT
if [ -e "$drive" ] || [ -L "$drive" ]; then
  echo "drive_root: drive Y: is taken in $WINEPREFIX" >&2
  exit 1
fi
mkdir -p "$work/stick/videos"
cp "$program_folder/zantrope.exe" "$program_folder/readme.html" "$work/stick/"
ln -s "$work/stick" "$drive"

# The window, with no screen; it reads its settings as it opens.
(cd "$work/stick/videos" && QT_QPA_PLATFORM=offscreen exec wine 'Y:\zantrope.exe' >/dev/null 2>&1) &
pid=$!
for _ in $(seq 600); do
  [ -e "$work/stick/misuc.dat" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
status=0
[ -e "$work/stick/misuc.dat" ] || { echo "drive_root: no misuc.dat at Y:\\" >&2; status=1; }
[ ! -e "$work/stick/videos/misuc.dat" ] || { echo "drive_root: misuc.dat in Y:\\videos" >&2; status=1; }
exit $status
