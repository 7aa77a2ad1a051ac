#!/usr/bin/env bash
# Builds both trees: build/native (portable core, unit tests under ASan and
# UBSan, the virtual NAS) and build/win32 (the Windows programs and their
# tests). The Windows programs land in build/dist.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build}
jobs=${TAVIX_JOBS:-$(nproc)}
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)

if [ ! -f "$build/native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/native" "${gen[@]}" -DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=ON >/dev/null
fi
cmake --build "$build/native" -j "$jobs"

if [ ! -f "$build/win32/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/win32" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
    -DTAVIX_DIST_DIR="$build/dist" >/dev/null
fi
cmake --build "$build/win32" -j "$jobs"
