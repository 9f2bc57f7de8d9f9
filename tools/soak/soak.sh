#!/usr/bin/env bash
# Soak of the real Sonafeed.exe under Wine: live start/stop cycles, device refreshes and relay
# requests, with its handle count and memory read before and after.
#   tools/soak/soak.sh [--live=N] [--refreshes=N] [--relays=N] [--exe=PATH]
# (defaults 300, 100, 300 and the tree's own Sonafeed.exe; --exe soaks another build)
# Builds what it needs in the Windows tree build/tools (SONAFEED_BUILD names another) and runs
# in a Wine session of that tree's own, started here and stopped at the end: never point it at
# a tree whose ctest is running.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${SONAFEED_BUILD:-$root/build/tools}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target sonafeed_soak wine_keepalive >/dev/null

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe" >/dev/null
trap '"$root/tests/wine/session.sh" stop "$build"' EXIT
"$build/wine-run" "$build/tools/soak/sonafeed_soak.exe" --gtest_brief=1 "$@"
