#!/usr/bin/env bash
# Start-up cost of Sonafeed.exe under Wine, against a bare dialog built the same way, with the
# listing tool's own run and one open API request against a local stand-in measured apart;
# then the exe's size and imported DLLs.
#   tools/bench/startup.sh [--runs=N] [--requests=N]     (defaults 20, 20)
# Builds and runs through tools/wine-tool.sh (the tree build/tools or build/tools64, or
# SONAFEED_BUILD).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/winarch.sh"
arch=$(winarch)
build=${SONAFEED_BUILD:-$(wintools "$arch")}
bash "$root/tools/wine-tool.sh" sonafeed_bench tools/bench/sonafeed_bench.exe "$@"

echo
echo "| exe | size (bytes) | imported DLLs |"
echo "|---|---:|---|"
for exe in "$build/Sonafeed.exe" "$build/tools/bench/bench_bare_dialog.exe"; do
    dlls=$("$(wintriple "$arch")-objdump" -p "$exe" | awk '/DLL Name:/ {print $3}' | paste -sd' ')
    echo "| $(basename "$exe") | $(stat -c %s "$exe") | $dlls |"
done
