#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The library cache's set-up as a fresh machine runs it: no deb-src entry in
# apt's sources and no cache folder, for the smallest part (jpeg). Earlier
# runs leave both behind on a developer's machine, where a fault of this
# path hid. This machine's own sources, lists and cache stay as they are:
# the set-up runs in a mount namespace of its own, over copies of them.
#   fresh_cache.sh
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/packaging/windows/build-cache.sh
if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null; then
  echo "fresh_cache: skipped: a private view of apt's sources needs root and unshare"
  exit 77
fi
if ! getent hosts deb.debian.org >/dev/null; then
  echo "fresh_cache: skipped: Debian's archive cannot be reached for the source package"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

unshare --mount --propagation private bash -euo pipefail -s "$script" "$work" <<'NAMESPACE'
script=$1 work=$2
# apt's sources as a fresh machine has them: every entry but deb-src ones.
mkdir "$work/sources" "$work/lists"
for f in /etc/apt/sources.list.d/*; do
  [ -f "$f" ] || continue
  grep -qs '^Types:.*deb-src\|^deb-src ' "$f" || cp "$f" "$work/sources/"
done
mount --bind "$work/sources" /etc/apt/sources.list.d
if [ -f /etc/apt/sources.list ]; then
  grep -v '^deb-src ' /etc/apt/sources.list > "$work/sources.list" || true
  mount --bind "$work/sources.list" /etc/apt/sources.list
fi
cp -a /var/lib/apt/lists/. "$work/lists/"
mount --bind "$work/lists" /var/lib/apt/lists

if ! ZANTROPE_WINDOWS_CACHE="$work/cache" "$script" jpeg > "$work/out" 2> "$work/err"; then
  echo "fresh_cache: the set-up failed:"; cat "$work/out" "$work/err"
  exit 1
fi
grep -q "adding a deb-src entry" "$work/err" || { echo "fresh_cache: the deb-src entry was there already"; exit 1; }
[ -f "$work/cache/deps/.jpeg" ] && [ -f "$work/cache/deps/lib/libjpeg.a" ] ||
  { echo "fresh_cache: no libjpeg in the new cache"; cat "$work/out"; exit 1; }
# Every folder the set-up made is one it means to; none is named after a message.
for made in "$work/cache"/* "$work/cache/src"/*; do
  case ${made##*/} in
    build-jpeg | build-jpeg.log | deps | src | toolchain-mingw.cmake | libjpeg-turbo*) ;;
    *) echo "fresh_cache: unexpected ${made##*/} in the cache"; exit 1 ;;
  esac
done
echo "fresh_cache: a fresh machine built the jpeg part"
NAMESPACE
