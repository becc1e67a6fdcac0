#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file names its licence in its first lines.
#   tools/spdx.sh --check   lists the files without it; fails when there are any
#   tools/spdx.sh --fix     adds the line to them, in each file's comment syntax
set -euo pipefail
cd "$(dirname "$0")/.."

readonly LICENCE="SPDX-License-Identifier: GPL-3.0-or-later"

# The comment that carries the line in this file, or nothing for a file that
# is not source (pictures, data, metadata under a licence of its own).
comment_for() {
  local file=$1
  case "$file" in
    *.cpp | *.h) echo "// $LICENCE" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake) echo "# $LICENCE" ;;
    *.sh) echo "# $LICENCE" ;;
    *.[1-8]) echo ".\\\" $LICENCE" ;;
    *)
      # Scripts without an extension (dev, .ci/run) are known by their first line.
      if head -c 64 "$file" 2>/dev/null | head -n 1 | grep -Eq '^#!.*(sh|bash)( |$)'; then
        echo "# $LICENCE"
      fi
      ;;
  esac
}

# A line near the top is enough; a file under another licence names that one.
has_licence() { head -n 5 "$1" | grep -q 'SPDX-License-Identifier:'; }

add_licence() {
  local file=$1 line=$2
  # A shebang must stay the first line; everything else gets the line on top.
  # Written in place, so the file keeps its mode and links.
  local text
  text=$(LINE=$line awk 'NR == 1 && /^#!/ { print; print ENVIRON["LINE"]; next }
                         NR == 1 { print ENVIRON["LINE"] } { print }' "$file"; echo x)
  [ -s "$file" ] || text="$line"$'\n'x
  printf '%s' "${text%x}" >"$file"
}

mode=${1:-}
case "$mode" in
  --check | --fix) ;;
  *) echo "usage: tools/spdx.sh --check | --fix" >&2; exit 2 ;;
esac

missing=0
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue # listed but deleted in the work tree
  line=$(comment_for "$file")
  [ -n "$line" ] || continue
  has_licence "$file" && continue
  if [ "$mode" = --fix ]; then
    add_licence "$file" "$line"
    echo "added: $file"
  else
    echo "no licence line: $file"
    missing=$((missing + 1))
  fi
done < <(git ls-files -z -co --exclude-standard)

if [ "$mode" = --check ]; then
  [ "$missing" = 0 ] || { echo "$missing file(s) without \"$LICENCE\"; tools/spdx.sh --fix adds it" >&2; exit 1; }
  echo "every source file names its licence"
fi
