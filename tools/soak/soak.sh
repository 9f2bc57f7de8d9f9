#!/usr/bin/env bash
# Soak of the real Sonafeed.exe under Wine: live start/stop cycles, device refreshes and relay
# requests, with its handle count and memory read before and after.
#   tools/soak/soak.sh [--live=N] [--refreshes=N] [--relays=N] [--exe=PATH]
# (defaults 300, 100, 300 and the tree's own Sonafeed.exe; --exe soaks another build)
# Builds and runs through tools/wine-tool.sh (the tree build/tools or build/tools64, or
# SONAFEED_BUILD).
set -euo pipefail
exec bash "$(dirname "$0")/../wine-tool.sh" sonafeed_soak tools/soak/sonafeed_soak.exe "$@"
