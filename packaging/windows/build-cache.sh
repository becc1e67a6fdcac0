#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds, once, the Windows libraries the cross build links: static qtbase,
# libjpeg-turbo, googletest and a small FFmpeg, all from Debian's source
# packages, into a cache outside the work tree. A part already installed
# there is kept; the Qt part alone takes about an hour on two cores.
#   packaging/windows/build-cache.sh [qt|jpeg|gtest|ffmpeg]...   (all by default)
#   packaging/windows/build-cache.sh --cached   (true when every part is there)
set -euo pipefail
CACHE=${ZANTROPE_WINDOWS_CACHE:-$HOME/.cache/zantrope-windows}
JOBS=${ZANTROPE_WINDOWS_JOBS:-2}
HOST=x86_64-w64-mingw32
if [ "${1:-}" = --cached ]; then
  cd "$CACHE" 2>/dev/null &&
    [ -f qt/lib/cmake/Qt6/Qt6Config.cmake ] && [ -f deps/.jpeg ] && [ -f deps/.gtest ] && [ -f deps/.ffmpeg ]
  exit
fi
mkdir -p "$CACHE/src" "$CACHE/deps"
cd "$CACHE"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The cross compiler, Wine, the assembler for libjpeg-turbo's and FFmpeg's
# fast paths, the host Qt whose tools (moc, rcc, uic) the cross Qt runs,
# and NSIS for the installer.
PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 fonts-wine dpkg-dev nasm cmake ninja-build qt6-base-dev qt6-base-dev-tools
          xvfb zip file
          # the installer, and the tests that type at a Wine console
          nsis python3)
ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "windows: installing ${missing[*]}"
    # wine32 is not needed: the program and its tests are 64-bit.
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# apt-get source needs a deb-src line for the release this machine runs.
ensure_deb_src() {
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  local suite
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  echo "windows: adding a deb-src entry for $suite" >&2
  as_root tee /etc/apt/sources.list.d/debian-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  as_root apt-get update -qq >&2
}

# Prints the unpacked source folder of Debian's source package $1, fetching
# and unpacking it (with Debian's patches) when it is not there yet. Its
# standard output is the folder's name alone: every message goes to stderr.
source_of() {
  local pkg=$1 dir
  dir=$(ls -d "src/$pkg"-[0-9]*/ 2>/dev/null | head -1 || true)
  if [ -z "$dir" ]; then
    if ! ls src/"$pkg"_*.dsc >/dev/null 2>&1; then
      ensure_deb_src
      (cd src && apt-get source --download-only "$pkg" >&2)
    fi
    (cd src && dpkg-source -x "$(ls "$pkg"_*.dsc | head -1)" >&2)
    dir=$(ls -d "src/$pkg"-[0-9]*/ | head -1)
  fi
  echo "${dir%/}"
}

# Written only when it differs: a newer file would make the Qt build
# that uses it configure itself anew.
toolchain() {
  local want
  want=$(cat <<'T'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_CURRENT_LIST_DIR}/qt ${CMAKE_CURRENT_LIST_DIR}/deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
T
)
  [ "$(cat toolchain-mingw.cmake 2>/dev/null)" = "$want" ] || echo "$want" > toolchain-mingw.cmake
}

# Static qtbase with what the program uses: Core, Gui, Widgets, Test and the
# Windows platform plugin. Debian's source lacks wintab.h, hence no tablet
# events; the Windows plugin does not compile without OpenGL, and desktop
# OpenGL needs only opengl32.dll, which Windows ships.
build_qt() {
  [ -f qt/lib/cmake/Qt6/Qt6Config.cmake ] && { echo "windows: qt cached"; return; }
  local src
  src=$(source_of qt6-base)
  echo "windows: building qt (about an hour on two cores; log: $CACHE/build-qt.log)"
  cmake -S "$src" -B build-qt -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$CACHE/toolchain-mingw.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$CACHE/qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_png=OFF -DFEATURE_system_zlib=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
    -DINPUT_opengl=desktop > build-qt.log 2>&1
  nice -n 10 cmake --build build-qt --parallel "$JOBS" >> build-qt.log 2>&1
  cmake --install build-qt >> build-qt.log 2>&1
  echo "windows: qt built"
}

# Each library builds in build-<part> with its log beside; a stamp in deps
# marks it installed.
# A library built with CMake: part names its stamp, build folder and log,
# package its Debian source; the rest are its own CMake options.
build_cmake_library() {
  local part=$1 package=$2 src
  shift 2
  [ -f "deps/.$part" ] && { echo "windows: $package cached"; return; }
  src=$(source_of "$package")
  echo "windows: building $package"
  {
    cmake -S "$src" -B "build-$part" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$CACHE/toolchain-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$CACHE/deps" "$@"
    nice -n 10 cmake --build "build-$part" --parallel "$JOBS"
    cmake --install "build-$part"
  } > "build-$part.log" 2>&1
  touch "deps/.$part"
}

build_jpeg() {
  build_cmake_library jpeg libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=ON
}

build_gtest() {
  build_cmake_library gtest googletest -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=ON
}

# Only what the movie joins and the clip facts read and write: MPEG
# program and transport streams, MPEG video and audio, Matroska and WebM,
# through the program's own I/O; parsers, never decoders. The transport
# stream muxer writes AAC through the ADTS muxer. The stamp holds the
# components, so a changed list builds FFmpeg again.
FFMPEG_COMPONENTS=(--enable-demuxer=mpegps,mpegts,mpegvideo,mp3,matroska
                   --enable-muxer=mpeg1system,mpeg1vcd,mpeg2dvd,mpeg2svcd,mpegts,adts,mpeg1video,mpeg2video,mp3,mp2,matroska,webm
                   --enable-parser=mpegvideo,mpegaudio,ac3,dca,h264,hevc,aac,opus
                   --enable-bsf=h264_mp4toannexb,hevc_mp4toannexb)
build_ffmpeg() {
  local want="${FFMPEG_COMPONENTS[*]}"
  [ "$(cat deps/.ffmpeg 2>/dev/null)" = "$want" ] && { echo "windows: ffmpeg cached"; return; }
  local src
  src=$(source_of ffmpeg)
  echo "windows: building ffmpeg"
  rm -rf build-ffmpeg && mkdir build-ffmpeg
  (
    cd build-ffmpeg
    "$CACHE/$src/configure" --prefix="$CACHE/deps" \
      --target-os=mingw32 --arch=x86_64 --cross-prefix=$HOST- --cc=$HOST-gcc-posix --cxx=$HOST-g++-posix \
      --pkg-config=pkg-config --pkg-config-flags=--static \
      --enable-static --disable-shared --disable-programs --disable-doc --disable-network \
      --disable-autodetect --disable-everything --disable-avdevice --disable-swscale \
      --disable-swresample --disable-postproc --disable-avfilter --disable-debug \
      "${FFMPEG_COMPONENTS[@]}"
    nice -n 10 make -j"$JOBS"
    make install
  ) > build-ffmpeg.log 2>&1
  echo "$want" > deps/.ffmpeg
}

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(qt jpeg gtest ffmpeg)
ensure_packages
toolchain
for part in "${parts[@]}"; do
  case "$part" in
    qt) build_qt ;;
    jpeg) build_jpeg ;;
    gtest) build_gtest ;;
    ffmpeg) build_ffmpeg ;;
    *) echo "usage: $0 [qt|jpeg|gtest|ffmpeg]..." >&2; exit 2 ;;
  esac
done
