#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the seed corpus of every fuzz target in tests/fuzz/NAME/seeds: the
# smallest clips ffmpeg makes as the tests' fixtures do (a program stream,
# MPEG-2 video, MP2 and MP3 with an ID3v2 tag and a Xing frame, a VCD .dat
# track wrapping the program stream), and settings files, drop lists and
# names as the program meets them, and MP4 and QuickTime chapters. The seeds are kept in the repository;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -loglevel error -nostdin -y "$@"; }
picture=(-f lavfi -i testsrc=duration=0.2:size=32x32:rate=25)
tone=(-f lavfi -i sine=duration=0.2:sample_rate=32000)
ff "${picture[@]}" "${tone[@]}" -c:v mpeg1video -q:v 20 -c:a mp2 -b:a 32k -f mpeg "$work/clip.mpg"
ff "${picture[@]}" -c:v mpeg2video -q:v 20 -f mpeg2video "$work/clip.m2v"
ff "${tone[@]}" -c:a mp2 -b:a 32k "$work/clip.mp2"
ff "${tone[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 3 -metadata title=seed "$work/clip.mp3"
# A camera's chapter: H.264, AAC, a timecode and a telemetry track; and one
# with its index before its media data.
head -c 256 /dev/zero > "$work/tele.bin"
ff "${picture[@]}" "${tone[@]}" -f data -i "$work/tele.bin" -map 0:v -map 1:a -map 2:d -c:v libx264 \
  -preset ultrafast -c:a aac -b:a 16k -c:d copy -tag:d gpmd -timecode 01:00:00:00 -metadata title=seed \
  -threads 1 -f mov "$work/clip.mov"
ff "${picture[@]}" "${tone[@]}" -c:v libx264 -preset ultrafast -c:a aac -b:a 16k -threads 1 \
  -movflags +faststart "$work/clip.mp4"

# The program stream as a VCD track: RIFF form CDXA, a 16-byte "fmt " chunk,
# then Mode 2 sectors of 2352 bytes, each carrying 2324 bytes of the stream.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
bcd() { printf "\\x$(printf %02d "$1")"; }
size=$(stat -c %s "$work/clip.mpg")
sectors=$(((size + 2323) / 2324))
{
  printf 'RIFF'; le32 $((4 + 24 + 8 + sectors * 2352)); printf 'CDXAfmt '; le32 16; head -c 16 /dev/zero
  printf 'data'; le32 $((sectors * 2352))
  for ((i = 0; i < sectors; i++)); do
    lba=$((150 + i))
    printf '\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00'
    bcd $((lba / 4500)); bcd $((lba / 75 % 60)); bcd $((lba % 75)); printf '\x02'
    printf '\x01\x01\x64\x00\x01\x01\x64\x00'
    dd if="$work/clip.mpg" bs=2324 skip=$i count=1 status=none
    left=$((size - i * 2324))
    [ $left -ge 2324 ] || head -c $((2324 - left)) /dev/zero
    head -c 4 /dev/zero
  done
} > "$work/clip.dat"

seeds() { rm -rf "$1/seeds"; mkdir -p "$1/seeds"; }
# clip_facts: the first byte picks the extension (mpg mpeg m2v mp1 mp2 mp3 dat).
seeds clip_facts
for pick in 0:mpg 2:m2v 4:mp2 5:mp3 6:dat; do
  { printf "\\x0${pick%%:*}"; cat "$work/clip.${pick#*:}"; } > "clip_facts/seeds/${pick#*:}"
done
# movie_join: the first byte picks the extension (mpg mp3 mp2 m2v dat ts
# mkv), the second 0 makes both inputs the same clip. The transport stream
# carries ADTS sound, as a dash camera's does.
ff "${picture[@]}" "${tone[@]}" -c:v libx264 -preset ultrafast -c:a aac -b:a 16k -threads 1 -f mpegts \
  "$work/clip.ts"
ff "${picture[@]}" "${tone[@]}" -c:v libx264 -preset ultrafast -c:a libopus -b:a 16k -threads 1 "$work/clip.mkv"
seeds movie_join
for pick in 0:mpg 1:mp3 2:mp2 3:m2v 4:dat 5:ts 6:mkv; do
  { printf "\\x0${pick%%:*}\\x00"; cat "$work/clip.${pick#*:}"; } > "movie_join/seeds/${pick#*:}"
done
seeds cdxa
cp "$work/clip.dat" cdxa/seeds/clip.dat
# mp4_boxes: the first byte picks the extension (mp4 mov), the second 0
# makes both inputs the same chapter.
seeds mp4_boxes
for pick in 0:mp4 1:mov; do
  { printf "\\x0${pick%%:*}\\x00"; cat "$work/clip.${pick#*:}"; } > "mp4_boxes/seeds/${pick#*:}"
done
seeds mpeg_audio
cp "$work/clip.mp2" "$work/clip.mp3" mpeg_audio/seeds/

# recording_pieces: the first byte picks transport (0) or program stream (1);
# its transport stream holds MPEG-2 and MP2, as a broadcast recording does.
ff "${picture[@]}" "${tone[@]}" -c:v mpeg2video -q:v 20 -c:a mp2 -b:a 32k -f mpegts "$work/clip.ts"
seeds recording_pieces
{ printf '\x00'; cat "$work/clip.ts"; } > recording_pieces/seeds/ts
{ printf '\x01'; cat "$work/clip.mpg"; } > recording_pieces/seeds/mpg

seeds settings_file
printf '\r\n' > settings_file/seeds/new
printf '[form1]\r\ntop=120\r\nleft=$F0\r\n[txt]\r\nSaven=/home/u/joined.mpg\r\nOpenP=/home/u/clips/\r\n[join]\r\nOneMovie=1\r\n' \
  > settings_file/seeds/saved
printf '; kept\n[Form1]\ntop = -0x10\nLEFT=\t7\nother=x\n\n[TXT]\nsaven=/tmp/caf\xe9 \xff.mpg\nopenp=\n[extra]\nk=v' \
  > settings_file/seeds/by-hand

seeds drop_list
printf 'file:///home/u/clip%%201.mpg\r\nfile:///home/u/b.mp3\r\n' > drop_list/seeds/files
printf '# a comment\r\nfile://localhost/tmp/%%FF%%FE.dat\r\nhttp://example.org/a.mpg\r\nfile:///a%%00b\r\nfile:///a%%2Fb\r\n' \
  > drop_list/seeds/odd

seeds names
printf 'clip10.mpg\nclip2.mpg' > names/seeds/natural
printf '/home/u/caf\xc3\xa9/\xff\xfe.MPG\n/home/u/x.dat' > names/seeds/bytes
printf 'C:\\Videos\\a\xed\xa0\x80b.mpg\nD:/v/001.mp3' > names/seeds/wtf8
