#!/usr/bin/env bash
# Builds the shipped 32-bit Release Sonafeed.exe in its own tree (build/package) and writes the
# release into dist/: Sonafeed-<version>-<commit>-win32.zip and SHA256SUMS.txt. The same commit
# gives the same bytes on any machine set up by scripts/setup.sh; file times in the zip are the
# commit's (SOURCE_DATE_EPOCH).
#   SONAFEED_PACKAGE_BUILD  another 32-bit Release tree to build it in (scripts/test.sh names the
#                           one it tested, so that the same sources are not compiled twice)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/winarch.sh"
[ -n "${SONAFEED_SET_UP:-}" ] || bash "$root/scripts/setup.sh" --build
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
build=${SONAFEED_PACKAGE_BUILD:-$root/build/package}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$(wintoolchain win32)" >/dev/null
cmake --build "$build" -j"$(nproc)" --target release_zip
