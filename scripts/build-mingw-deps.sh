#!/usr/bin/env bash
# Cross-builds, once, the image libraries of the native build (libspng, libdeflate and
# libjpeg-turbo's TurboJPEG) for 64-bit Windows with MinGW-w64, from Debian's source packages
# of the versions installed natively, into a system prefix that cmake/mingw-w64-x86_64.cmake
# searches. zlib comes built from Debian (libz-mingw-w64-dev). A stamp file holds the versions
# and this script's own checksum: when they match, nothing is done. Run by install-deps.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${VORLIN_MINGW_DEPS_PREFIX:-/usr/local/x86_64-w64-mingw32-vorlin}
stamp=$prefix/share/vorlin-deps.stamp
host=x86_64-w64-mingw32

# The source package and version of each native development package.
sources=()
for dev in libspng-dev libdeflate-dev libturbojpeg0-dev; do
  sources+=("$(dpkg-query -W -f='${source:Package}=${source:Version}' "$dev")")
done
wanted=$(printf '%s\n' "${sources[@]}" "script $(sha256sum "$0" | cut -d' ' -f1)")
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "build-mingw-deps: $prefix is missing or out of date; run install-deps.sh as root" >&2
  exit 1
fi

# Source packages need a deb-src entry beside the binary ones.
list=/etc/apt/sources.list.d/vorlin-deb-src.sources
if [ ! -f "$list" ]; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  cat >"$list" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -qq
fi

work=$(mktemp -d /tmp/vorlin-mingw-deps.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt fetches as its own user
cd "$work"
# Unpacked with Debian's patches applied, as the native libraries were built.
apt-get source -qq "${sources[@]}" >/dev/null
jobs=$(nproc)
cc=$(command -v $host-gcc-posix || command -v $host-gcc)
ar=$host-ar
staging=$work/prefix
mkdir -p "$staging/include" "$staging/lib" "$staging/share/doc"
cmake_cross=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64-x86_64.cmake"
             -DCMAKE_POSITION_INDEPENDENT_CODE=OFF -DCMAKE_INSTALL_PREFIX="$staging")

# libdeflate: its own Makefile knows MinGW (it names the static library libdeflatestatic.lib).
dir=$(ls -d libdeflate-*/)
make -s -C "$dir" -j"$jobs" CC="$cc" AR="$ar" libdeflatestatic.lib
cp "$dir/libdeflatestatic.lib" "$staging/lib/libdeflate.a"
cp "$dir/libdeflate.h" "$staging/include/"
install -D -m644 "$dir/debian/copyright" "$staging/share/doc/libdeflate/copyright"

# libspng over the MinGW zlib: one C file. (Its CMake project cannot build the static
# library alone.) The flags are those of its CMake Release build.
dir=$(ls -d libspng-*/)
"$cc" -O3 -DNDEBUG -DSPNG_STATIC -I/usr/$host/include -c "$dir/spng/spng.c" -o spng.o
"$ar" rcs "$staging/lib/libspng_static.a" spng.o
cp "$dir/spng/spng.h" "$staging/include/"
install -D -m644 "$dir/debian/copyright" "$staging/share/doc/libspng/copyright"

# TurboJPEG with libjpeg-turbo's SIMD loops (nasm).
dir=$(ls -d libjpeg-turbo-*/)
cmake -S "$dir" -B jpeg-build "${cmake_cross[@]}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
      -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm \
      >/dev/null
cmake --build jpeg-build -j"$jobs" --target turbojpeg-static >/dev/null
cp jpeg-build/libturbojpeg.a "$staging/lib/"
cp "$dir/turbojpeg.h" "$staging/include/"
install -D -m644 "$dir/debian/copyright" "$staging/share/doc/libjpeg-turbo/copyright"

# The prefix is replaced whole, so a failure above leaves an earlier one as it was.
printf '%s\n' "$wanted" >"$staging/share/vorlin-deps.stamp"
rm -rf "$prefix.old"
if [ -d "$prefix" ]; then mv "$prefix" "$prefix.old"; fi
mkdir -p "$(dirname "$prefix")"
cp -a "$staging" "$prefix"
rm -rf "$prefix.old"
echo "build-mingw-deps: ${sources[*]} installed in $prefix"
