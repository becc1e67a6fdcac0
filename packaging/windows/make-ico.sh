#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs PNG pictures into one Windows icon file, each as it is (Windows
# reads PNG within an icon since Vista):
#   make-ico.sh OUT.ico SIZE:FILE.png...
set -eu
out=$1
shift

byte() { printf "\\$(printf %03o $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

{
  le16 0; le16 1; le16 $#
  offset=$((6 + 16 * $#))
  for entry in "$@"; do
    size=${entry%%:*}
    length=$(wc -c < "${entry#*:}")
    # 0 stands for 256 pixels.
    byte $((size % 256)); byte $((size % 256)); byte 0; byte 0
    le16 1; le16 32; le32 "$length"; le32 "$offset"
    offset=$((offset + length))
  done
  for entry in "$@"; do cat "${entry#*:}"; done
} > "$out.tmp"
mv "$out.tmp" "$out"
