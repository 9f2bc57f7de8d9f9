#!/usr/bin/env bash
# Builds the Windows tree, then runs a real broadcast: Sonafeed.exe under Wine publishes a test
# tone through the encoder bridge to a local RTMP server, and the open API stand-in relays a
# second source. On the user's display Sonafeed opens for a person to use; headless, a scripted
# broadcast runs and prints its report (report, screenshot of the dialog and logs:
# BUILD_DIR/broadcast-demo). Where the host runs no 32-bit code, the 64-bit build runs.
#   run.sh [--update-screenshot]   also copy the screenshot to docs/screenshot.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/winarch.sh"
update_screenshot=false
case ${1:-} in
"") ;;
--update-screenshot) update_screenshot=true ;;
*) echo "usage: run.sh [--update-screenshot]" >&2; exit 2 ;;
esac

bash "$root/scripts/setup.sh"
SONAFEED_SET_UP=1 bash "$root/scripts/build.sh" windows
arch=$(winarch)
build=$(winbuild "$arch")
winbuild_note "$arch"
started=$(mktemp)
trap 'rm -f "$started"' EXIT
bash "$root/tests/broadcast/demo.sh" "$build"
shot="$build/broadcast-demo/screenshot.png"
if [ "$shot" -nt "$started" ]; then
    echo "Screenshot of the dialog: $shot"
    if $update_screenshot; then
        cp "$shot" "$root/docs/screenshot.png"
        echo "Copied to docs/screenshot.png"
    fi
fi
winbuild_note "$arch"
