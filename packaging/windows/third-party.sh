#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes THIRD-PARTY.txt for the Windows program: every library linked into
# it, with the version, where its source is and its licence and notices,
# read from the very Debian source packages that build-cache.sh built the
# cache from, so that the file follows the cache.
#   third-party.sh CACHE OUT
set -eu
cache=$1
out=$2

# The Debian version of source package $1, and its unpacked folder, as
# build-cache.sh chose them.
version_of() {
  dsc=$(ls "$cache/src/$1"_*.dsc 2>/dev/null | head -1)
  [ -n "$dsc" ] || { echo "third-party.sh: no source of $1 in $cache/src; run packaging/windows/build-cache.sh" >&2; exit 1; }
  sed -n 's/^Version: //p' "$dsc"
}
folder_of() { ls -d "$cache/src/$1"-[0-9]*/ | head -1; }
# The version a bundled part of Qt names in its attribution.
qt_part_version() { sed -n 's/^ *"Version": "\(.*\)",*$/\1/p' "$qt/src/3rdparty/$1/qt_attribution.json" | head -1; }
# The upstream version in a Debian version: no epoch, no Debian revision.
upstream() { v=${1#*:}; echo "${v%-*}"; }
source_line() {
  echo "   Source: Debian's source package $1, version $2, as the build"
  echo "   used it (\"apt-get source $1=$2\" on Debian 12; Debian's"
  echo "   snapshot archive keeps every version)."
}
# A licence or notice file, under a line that says whose it is.
text() {
  echo
  echo "----- $1 -----"
  echo
  cat "$2"
}

qt=$(folder_of qt6-base)
ffmpeg=$(folder_of ffmpeg)
jpeg=$(folder_of libjpeg-turbo)
qt_version=$(version_of qt6-base)
ffmpeg_version=$(version_of ffmpeg)
jpeg_version=$(version_of libjpeg-turbo)
mingw=$(dpkg-query -W -f='${source:Package} ${source:Version}' mingw-w64-x86-64-dev)
gcc=$(dpkg-query -W -f='${source:Package} ${source:Version}' gcc-mingw-w64-x86-64-posix-runtime)

{
  cat <<EOF
Zantrope for Windows: what is inside besides Zantrope's own code
================================================================

zantrope.exe and zantrope.com are Zantrope, free software under the GNU
General Public License, version 3 or later (LICENSE.txt), statically linked
with the libraries below. Each keeps its own licence, which follows in full
after the list. The complete source of Zantrope and of each library is
available under those licences; you may rebuild the program, with changed
libraries too, from them.

1. Qt $(upstream "${qt_version%%+*}") (qtbase: Core, Gui, Widgets and the Windows platform)
   Licence: GNU Lesser General Public License, version 3 (LGPL-3.0-only).
$(source_line qt6-base "$qt_version")
   Qt holds these parts, each under its own licence:
   - HarfBuzz $(qt_part_version harfbuzz-ng) (MIT)
   - FreeType $(qt_part_version freetype) (FreeType License; with parts under Zlib and MIT)
   - PCRE2 $(qt_part_version pcre2) (BSD-3-Clause, with its JIT compiler under BSD-2-Clause)
   - zlib $(qt_part_version zlib) (Zlib)
   - libpng $(qt_part_version libpng) (PNG Reference Library License version 2)
   - MD4C $(qt_part_version md4c) (MIT)
   - double-conversion $(qt_part_version double-conversion) (BSD-3-Clause)
   - TinyCBOR $(qt_part_version tinycbor) (MIT)
   - Easing Equations by Robert Penner (BSD-3-Clause)
   - SHA-384 and SHA-512 of RFC 6234 (BSD-3-Clause)
   - SHA-3 (Keccak) (CC0-1.0; its endianness header BSD-2-Clause)
   - SipHash (CC0-1.0)
   - the sRGB colour profile (ICC License)
   - the Adobe Glyph List for New Fonts (BSD-3-Clause)
   - the OpenGL headers (MIT, Khronos)

2. FFmpeg $(upstream "$ffmpeg_version") (libavformat, libavcodec, libavutil; only the MPEG,
   Matroska and WebM formats, without any part under the GPL)
   Licence: GNU Lesser General Public License, version 2.1 or later.
$(source_line ffmpeg "$ffmpeg_version")

3. libjpeg-turbo $(upstream "$jpeg_version")
   Licence: the IJG License, BSD-3-Clause and Zlib. This software is based
   in part on the work of the Independent JPEG Group.
$(source_line libjpeg-turbo "$jpeg_version")

4. The MinGW-w64 runtime (start-up code, C library additions, winpthreads)
   Licence: Zope Public License 2.1; winpthreads MIT.
   Source: Debian's source package $mingw.

5. The GCC runtime (libgcc, libstdc++)
   Licence: GNU General Public License, version 3 or later, with the GCC
   Runtime Library Exception, version 3.1, which places no conditions on
   a program compiled with GCC.
   Source: Debian's source package $gcc.

Licences and notices
====================
EOF
  text "Qt: GNU Lesser General Public License, version 3" "$qt/LICENSES/LGPL-3.0-only.txt"
  echo
  echo "(The GNU General Public License, version 3, which it refers to, is LICENSE.txt.)"
  text "HarfBuzz" "$qt/src/3rdparty/harfbuzz-ng/COPYING"
  text "FreeType" "$qt/src/3rdparty/freetype/LICENSE.txt"
  text "FreeType: The FreeType Project License" "$qt/src/3rdparty/freetype/docs/FTL.TXT"
  text "FreeType: its zlib part" "$qt/src/3rdparty/freetype/ZLIB-LICENSE.txt"
  text "FreeType: its BDF part" "$qt/src/3rdparty/freetype/BDF-LICENSE.txt"
  text "FreeType: its PCF part" "$qt/src/3rdparty/freetype/PCF-LICENSE.txt"
  text "PCRE2" "$qt/src/3rdparty/pcre2/LICENCE"
  text "PCRE2: SLJIT" "$qt/src/3rdparty/pcre2/LICENCE-SLJIT"
  text "zlib" "$qt/src/3rdparty/zlib/LICENSE"
  text "libpng" "$qt/src/3rdparty/libpng/LICENSE"
  text "MD4C" "$qt/src/3rdparty/md4c/LICENSE.md"
  text "double-conversion" "$qt/src/3rdparty/double-conversion/LICENSE"
  text "TinyCBOR" "$qt/src/3rdparty/tinycbor/LICENSE"
  text "Easing Equations" "$qt/src/3rdparty/easing/LICENSE"
  text "RFC 6234 SHA" "$qt/src/3rdparty/rfc6234/LICENSE"
  text "SHA-3 (Keccak)" "$qt/src/3rdparty/sha3/CC0_LICENSE"
  text "SHA-3: endianness header" "$qt/src/3rdparty/sha3/BRG_ENDIAN_LICENSE"
  text "SipHash" "$qt/src/corelib/tools/LICENSE.siphash"
  text "sRGB colour profile" "$qt/src/3rdparty/icc/LICENSE.txt"
  text "Adobe Glyph List for New Fonts" "$qt/src/gui/text/AGLFN_LICENSE.txt"
  text "OpenGL headers" "$qt/src/gui/opengl/KHRONOS_LICENSE.txt"
  text "FFmpeg" "$ffmpeg/LICENSE.md"
  text "FFmpeg: GNU Lesser General Public License, version 2.1" "$ffmpeg/COPYING.LGPLv2.1"
  text "libjpeg-turbo" "$jpeg/LICENSE.md"
  text "libjpeg-turbo: the IJG's notice" "$jpeg/README.ijg"
  echo
  echo "----- MinGW-w64 runtime -----"
  echo
  # Debian's record of the runtime's licences: the Zope Public License of
  # the whole, and winpthreads' own paragraphs with the expat text they name.
  record=/usr/share/doc/mingw-w64-common/copyright
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /^Files: \*\n/ || /^Files: mingw-w64-libraries\/winpthreads\/(\*|include)/ || /^License: expat\n/' "$record"
} | sed 's/$/\r/' > "$out.tmp"
mv "$out.tmp" "$out"
