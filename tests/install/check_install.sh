#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs:
# the layout, that the entry's program, icon and help path lead to installed
# files, and the verdict of the freedesktop validators.
# usage: check_install.sh BUILD_DIR VERSION DOCS_FROM_BIN
set -euo pipefail
build=$1 version=$2 docs_from_bin=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

id=net.zantrope.Zantrope
share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
failed=0
need() { [ -f "$1" ] || { echo "missing: ${1#"$prefix"/}"; failed=1; }; }

[ -x "$prefix/bin/zantrope" ] || { echo "missing: bin/zantrope"; failed=1; }
need "$share/doc/zantrope/readme.html"
need "$prefix/bin/$docs_from_bin/readme.html"
need "$desktop"
need "$metainfo"
icon=$(sed -n 's/^Icon=//p' "$desktop" 2>/dev/null)
need "$share/icons/hicolor/48x48/apps/$icon.png"
need "$share/icons/hicolor/128x128/apps/$icon.png"
need "$share/icons/hicolor/scalable/apps/$icon.svg"
[ "$failed" = 0 ] || exit 1

grep -qx 'Exec=zantrope %F' "$desktop" || { echo "the entry does not start bin/zantrope with the files"; exit 1; }
grep -q "<release version=\"$version\"" "$metainfo" ||
  { echo "the metadata has no release $version"; exit 1; }
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"
echo "install layout and metadata: ok"
