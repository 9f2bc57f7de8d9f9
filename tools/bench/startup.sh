#!/usr/bin/env bash
# Start-up cost of Sonafeed.exe under Wine, against a bare dialog built the same way, with the
# listing tool's own run and one open API request against a local stand-in measured apart;
# then the exe's size and imported DLLs.
#   tools/bench/startup.sh [--runs=N] [--requests=N]     (defaults 20, 20)
# Builds what it needs in the Windows tree build/tools (SONAFEED_BUILD names another) and runs
# in a Wine session of that tree's own, started here and stopped at the end: never point it at
# a tree whose ctest is running.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${SONAFEED_BUILD:-$root/build/tools}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target sonafeed_bench wine_keepalive >/dev/null

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe" >/dev/null
trap '"$root/tests/wine/session.sh" stop "$build"' EXIT
"$build/wine-run" "$build/tools/bench/sonafeed_bench.exe" --gtest_brief=1 "$@"

echo
echo "| exe | size (bytes) | imported DLLs |"
echo "|---|---:|---|"
for exe in "$build/Sonafeed.exe" "$build/tools/bench/bench_bare_dialog.exe"; do
    dlls=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | paste -sd' ')
    echo "| $(basename "$exe") | $(stat -c %s "$exe") | $dlls |"
done
