#!/usr/bin/env bash
# Installs what is missing, then builds the native tree (plain logic, sanitizers) and the
# Windows tree (Sonafeed.exe, test doubles, end-to-end tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build "$root/build/native" -j"$(nproc)"
cmake -S "$root" -B "$root/build/win" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$root/build/win" -j"$(nproc)"
