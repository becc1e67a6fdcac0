#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The joins of split recordings by the Windows program as it ships, under
# Wine: camera chapters (MP4), screen-recorder segments (Matroska) and
# dash-camera files and camcorder pieces each on its own clock (MPEG-TS with
# ADTS sound, M2TS with AC-3), made
# here by ffmpeg, since the Windows build's FFmpeg makes nothing. Each
# joined movie has its pieces' summed length and every track, and decodes
# without an error; MKV before MP4 is refused with nothing written. The
# tests of the join itself run on Linux, where the fixtures can be made
# inside them.
#   container_joins.sh PROGRAM_FOLDER
set -euo pipefail
program=$1/zantrope.com
: "${WINEPREFIX:?the prefix of ./dev windows-test}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for i in 1 2 3; do
  tone="sine=frequency=$((300 + 100 * i)):sample_rate=48000:duration=2"
  picture=testsrc2=size=320x240:rate=30:duration=2
  ffmpeg -v error -nostdin -f lavfi -i "$picture" -f lavfi -i "$tone" -c:v libx264 -c:a aac -threads 1 "GX0${i}0042.MP4"
  ffmpeg -v error -nostdin -f lavfi -i "$picture" -f lavfi -i "$tone" -c:v libx264 -c:a libopus -threads 1 "rec$i.mkv"
  ffmpeg -v error -nostdin -f lavfi -i "$picture" -f lavfi -i "$tone" -c:v libx264 -c:a aac -threads 1 \
    -output_ts_offset $((1000 * i)) "cam$i.ts"
  ffmpeg -v error -nostdin -f lavfi -i "$picture" -f lavfi -i "$tone" -c:v libx264 -c:a ac3 -threads 1 \
    -output_ts_offset $((1000 * i)) "0000$i.m2ts"
done

failures=0
fail() { echo "container_joins: $*"; failures=$((failures + 1)); }
check() { # OUTPUT STREAMS INPUT...
  local output=$1 streams=$2 length got
  shift 2
  if ! wine "$program" --join "$output" "$@" > out.txt 2>&1; then
    fail "$output was not joined: $(tr -d '\r' < out.txt)"
    return
  fi
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$output")
  # A transport stream lists its streams again under its program.
  got=$(ffprobe -v error -show_entries stream=index,codec_type -of csv=p=0 "$output" | grep , | sort -u | cut -d, -f2 |
    sort | tr '\n' ' ')
  awk -v l="$length" 'BEGIN { exit !(l > 5.9 && l < 6.2) }' || fail "$output lasts $length s, not 6"
  [ "$got" = "$streams" ] || fail "$output holds the tracks '$got', not '$streams'"
  [ -z "$(ffmpeg -v error -i "$output" -f null - 2>&1)" ] || fail "$output does not decode cleanly"
}
check joined.mp4 "audio video " GX010042.MP4 GX020042.MP4 GX030042.MP4
check joined.mkv "audio video " rec1.mkv rec2.mkv rec3.mkv
check joined.ts "audio video " cam1.ts cam2.ts cam3.ts
check joined.m2ts "audio video " 00001.m2ts 00002.m2ts 00003.m2ts
[ $(($(stat -c %s joined.m2ts) % 192)) = 0 ] || fail "joined.m2ts is not made of 192-byte packets"
if wine "$program" --join mixed.mp4 rec1.mkv GX010042.MP4 > out.txt 2>&1 || [ -e mixed.mp4 ]; then
  fail "MKV then MP4 was not refused, or left a file"
fi
grep -q "GX010042.MP4 is an MP4 file" out.txt || fail "the refusal does not name the file: $(tr -d '\r' < out.txt)"
[ $failures = 0 ]
