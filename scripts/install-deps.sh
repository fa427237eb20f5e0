#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the Wine run need, then cross-builds
# the image libraries for the Windows build once (scripts/build-mingw-deps.sh).
# Safe to run again: apt-get skips what is already there, and so does the cross build.
set -euo pipefail
pkgs=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nlohmann-json3-dev libstb-dev
  libspng-dev libdeflate-dev libturbojpeg0-dev zlib1g-dev
  libopencv-dev
  clang libclang-rt-14-dev clang-format-14
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  libz-mingw-w64-dev nasm dpkg-dev
  wine wine64 xvfb xauth imagemagick xdotool fonts-liberation fonts-ipafont-gothic unzip
  python3 python3-pil ffmpeg parallel
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/build-mingw-deps.sh"
