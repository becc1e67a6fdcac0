#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix and checks what a desktop and a
# Debian packager need: the layout, that the entry's program, icon, file type
# and help path lead to installed files, the copyright, changelog and manual
# page, and the verdict of the freedesktop validators.
# usage: check_install.sh BUILD_DIR VERSION HELP_FROM_BIN MODULES_FROM_BIN
set -euo pipefail
build=$1 version=$2 help_from_bin=$3 modules_from_bin=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

id=net.zantrope.Zantrope
share=$prefix/share
doc=$share/doc/zantrope
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
mime=$share/mime/packages/$id.xml
man=$share/man/man1/zantrope.1.gz
failed=0
need() { [ -f "$1" ] || { echo "missing: ${1#"$prefix"/}"; failed=1; }; }
fail() { echo "$*"; exit 1; }

[ -x "$prefix/bin/zantrope" ] || { echo "missing: bin/zantrope"; failed=1; }
need "$prefix/bin/$help_from_bin/readme.html"
need "$prefix/bin/$modules_from_bin/zantrope-window.so"
need "$prefix/bin/$modules_from_bin/zantrope-media.so"
need "$doc/copyright"
need "$doc/changelog.Debian.gz"
need "$man"
need "$desktop"
need "$metainfo"
need "$mime"
icon=$(sed -n 's/^Icon=//p' "$desktop" 2>/dev/null)
need "$share/icons/hicolor/48x48/apps/$icon.png"
need "$share/icons/hicolor/128x128/apps/$icon.png"
need "$share/icons/hicolor/scalable/apps/$icon.svg"
# The build folder is a portable copy; an install is none.
need "$build/src/cli/misuc.dat"
[ ! -e "$prefix/bin/misuc.dat" ] || { echo "an install holds bin/misuc.dat"; failed=1; }
[ "$failed" = 0 ] || exit 1

# Help must work on a system that leaves the documentation out.
case "$(cd "$prefix/bin/$help_from_bin" && pwd -P)/" in
  "$(cd "$share/doc" && pwd -P)"/*) fail "the help page lies under share/doc" ;;
esac

grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
  fail "the copyright file is not machine-readable"
grep -qx 'License: GPL-3.0-or-later' "$doc/copyright" || fail "the copyright file names no GPL-3.0-or-later"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "the metadata names no licence"

# Compressed without name or time (gzip -n), so that two builds are equal;
# the changelog's newest entry is this version.
for gz in "$man" "$doc/changelog.Debian.gz"; do
  gzip -t "$gz" || fail "${gz#"$prefix"/} is no gzip file"
  [ "$(od -An -tx1 -j3 -N5 "$gz" | tr -d ' ')" = 0000000000 ] || fail "${gz#"$prefix"/} keeps a name or a time"
done
gzip -dc "$doc/changelog.Debian.gz" | head -n 1 | grep -q "^zantrope ($version-[0-9]*) " ||
  fail "the changelog's newest entry is not $version"
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page has faults: $warnings"
fi
page=$(gzip -dc "$man")
for option in join movie help version; do
  grep -qF -- "\\-\\-$option" <<<"$page" || fail "the manual page tells nothing of --$option"
done
for section in 'EXIT STATUS' FILES; do
  grep -qx ".SH \"\\?$section\"\\?" <<<"$page" || fail "the manual page has no $section"
done

grep -qx 'Exec=zantrope %F' "$desktop" || fail "the entry does not start bin/zantrope with the files"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"
# Every type the file type definition brings is one the entry opens.
for type in $(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime"); do
  grep -q "^MimeType=.*\b$type;" "$desktop" || fail "the entry does not list $type"
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

# A Video CD track, whatever its name, is of the new type: RIFF, its size,
# CDXA, a 16-byte "fmt " chunk and a "data" chunk.
if command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
  update-mime-database "$share/mime" >/dev/null 2>&1
  track=$prefix/AVSEQ01.DAT
  { printf 'RIFF\x34\x00\x00\x00CDXAfmt \x10\x00\x00\x00'; head -c 16 /dev/zero
    printf 'data\x10\x00\x00\x00'; head -c 16 /dev/zero; } >"$track"
  printf 'not a video\n' >"$prefix/notes.dat"
  typeof() { XDG_DATA_HOME=$prefix/none XDG_DATA_DIRS=$share:/usr/share gio info "$1" |
             sed -n 's/.*standard::content-type: //p'; }
  want=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
  [ "$(typeof "$track")" = "$want" ] || fail "a Video CD track is $(typeof "$track"), not $want"
  [ "$(typeof "$prefix/notes.dat")" != "$want" ] || fail "any .dat file is taken for $want"
fi
echo "install layout and metadata: ok"
