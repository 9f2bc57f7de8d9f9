#!/usr/bin/env bash
# Builds one Windows tool in the tree build/tools (SONAFEED_BUILD names another) and runs it
# under Wine in a session of that tree's own, started here and stopped at the end: never point
# it at a tree whose ctest is running.
#   tools/wine-tool.sh TARGET PROGRAM_IN_TREE [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1 program=$2
shift 2
build=${SONAFEED_BUILD:-$root/build/tools}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$target" wine_keepalive >/dev/null

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe" >/dev/null
trap '"$root/tests/wine/session.sh" stop "$build"' EXIT
"$build/wine-run" "$build/$program" --gtest_brief=1 "$@"
