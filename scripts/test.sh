#!/usr/bin/env bash
# Builds everything and runs every test: the native core suite, the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, short fuzz runs, and the real program
# under Wine. Installs the Debian packages it needs first (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

step() { printf '\n== %s\n' "$*"; }

step "packages"
scripts/install-deps.sh

step "source format and the map of the tree"
scripts/check-format.sh
scripts/check-layers.py

step "native build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

step "core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORLIN_SANITIZE=ON -DVORLIN_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$jobs")

if [ -x scripts/fuzz.sh ]; then
  step "short fuzz runs"
  scripts/fuzz.sh --short
fi

step "Windows build"
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build-win -j"$jobs"
(cd build-win && cpack -G ZIP >/dev/null && ls vorlin-*-win64.zip)

if [ -x scripts/wine/run-suite.sh ]; then
  step "the program under Wine"
  scripts/wine/run-suite.sh "$root/build-win" "$root/build"
fi
