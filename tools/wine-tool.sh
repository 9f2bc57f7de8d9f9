#!/usr/bin/env bash
# Builds one Windows tool in the tree build/tools (build/tools64 where the host runs no 32-bit
# code, or the tree SONAFEED_BUILD names) and runs it under Wine in a session of that tree's own, started here and stopped at the end: never point
# it at a tree whose ctest is running.
#   tools/wine-tool.sh TARGET PROGRAM_IN_TREE [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1 program=$2
shift 2
. "$root/scripts/winarch.sh"
bash "$root/scripts/setup.sh"
arch=$(winarch)
build=${SONAFEED_BUILD:-$(wintools "$arch")}
winbuild_note "$arch"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$(wintoolchain "$arch")" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$target" wine_keepalive >/dev/null

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe" >/dev/null
trap '"$root/tests/wine/session.sh" stop "$build"' EXIT
"$build/wine-run" "$build/$program" --gtest_brief=1 "$@"
