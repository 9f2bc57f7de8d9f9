#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests, then the Windows tests under Wine
# (the Windows tree's ctest starts and stops its own Xvfb display and wineserver).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
ctest --test-dir "$root/build/native" --output-on-failure
ctest --test-dir "$root/build/win" --output-on-failure
