#!/usr/bin/env bash
# Installs what is missing, then builds the trees named (default: both):
#   native   build/native: the plain logic with sanitizers, its unit tests
#   windows  the Windows tree this host can run (build/win, 32-bit, or build/win64 where the
#            host runs no 32-bit code): Sonafeed.exe, test doubles, end-to-end tests; and the
#            product alone for the other architecture, with warnings as errors, so that both
#            builds stay clean. Its two halves, for scripts/test.sh to build at different times:
#            windows-tree and windows-other.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/winarch.sh"
# test.sh and run.sh have run the setup already: once is enough.
[ -n "${SONAFEED_SET_UP:-}" ] || bash "$root/scripts/setup.sh" --build
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(native windows)

# Where no Wine runs at all, the shipped 32-bit tree is built all the same.
arch=$(winarch)
[ "$arch" = none ] && arch=win32
other=$(winother "$arch")
build_tree() {
    local build
    build=$(winbuild "$arch")
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$(wintoolchain "$arch")" >/dev/null
    cmake --build "$build" -j"$(nproc)"
}
build_other() {
    cmake -S "$root" -B "$(winbuild "$other")-product" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_CXX_FLAGS=-Werror -DCMAKE_TOOLCHAIN_FILE="$(wintoolchain "$other")" >/dev/null
    cmake --build "$(winbuild "$other")-product" -j"$(nproc)" --target Sonafeed
}

for part in "${parts[@]}"; do
    case $part in
    native)
        cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug \
              -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
        cmake --build "$root/build/native" -j"$(nproc)"
        ;;
    windows) build_tree; build_other ;;
    windows-tree) build_tree ;;
    windows-other) build_other ;;
    *) echo "build.sh: unknown part $part (native, windows, windows-tree, windows-other)" >&2; exit 2 ;;
    esac
done
