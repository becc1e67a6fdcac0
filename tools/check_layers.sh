#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a file includes a header from a layer it may not use: each layer
# stands only on the ones below it, and the window's core on the system's
# services without the desktop.
set -u
cd "$(dirname "$0")/.."

allowed_for() {
  local desktop="platform desktop"
  local framework="$desktop framework"
  local core="platform core"
  case "$1" in
    src/platform | tests/platform) echo "platform" ;;
    src/desktop | tests/desktop) echo "$desktop" ;;
    src/framework | tests/framework) echo "$framework" ;;
    src/flat | tests/flat) echo "$framework flat" ;;
    src/xpmenu | tests/xpmenu) echo "$framework xpmenu" ;;
    src/core | tests/core) echo "$core" ;;
    src/media | tests/fuzz | tests/fuzz/support) echo "$core media" ;;
    src/cli | tests/cli) echo "$core cli" ;;
    src/window | tests/window | bench) echo "$framework flat xpmenu core window" ;;
    assets) echo "$framework" ;;
    tests) echo "$framework" ;; # helpers shared by the tests of the layers above
    tests/fixtures) echo "" ;; # files the tests plant, of no layer
    tools) echo "platform" ;;
    *) echo "?" ;;
  esac
}

status=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  allowed=" $(allowed_for "$folder") "
  if [ "$allowed" = " ? " ]; then
    echo "$file: no layer is known for $folder"
    status=1
    continue
  fi
  while IFS= read -r header; do
    layer=$(dirname "$header")
    [ "$layer" = "." ] && continue # a header of the same folder
    case "$allowed" in
      *" $layer "*) ;;
      *) echo "$file includes \"$header\", which its layer may not use"; status=1 ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -co --exclude-standard -- src tests bench assets tools | grep -E '\.(h|cpp)$')
[ "$status" = 0 ] && echo "every include stays within its layer"
exit "$status"
