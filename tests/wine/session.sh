#!/usr/bin/env bash
# Starts or stops the Wine session that the Windows tests share:
#   session.sh start BUILD_DIR KEEPALIVE_EXE   session.sh stop BUILD_DIR
# Start creates the prefix once, starts Xvfb on a free display and a persistent wineserver, and
# keeps one small GUI program running so that Wine's desktop process stays up between tests.
set -euo pipefail
action=$1 build=$2
run="$build/wine-run"
# The tree's own architecture, before the server starts: a server creates a missing prefix
# with the architecture it was started with.
set -a
. "$build/wine-env"
set +a

# A small drive for tests of a full disk: a 4 MiB tmpfs as drive S:. Only root can mount it;
# without it those tests are skipped.
small="$build/small-drive"
unmount_small_drive() {
    rm -f "$WINEPREFIX/dosdevices/s:"
    if mountpoint -q "$small" 2>/dev/null; then umount "$small" || true; fi
}

stop() {
    unmount_small_drive
    wineserver -k 2>/dev/null || true
    if [ -s "$build/xvfb.pid" ]; then kill "$(cat "$build/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$build/xvfb.pid" "$build/xvfb-display" "$build/wine-desktop-ready"
}

if [ "$action" = stop ]; then stop; exit 0; fi

stop
# Xvfb writes the display it picked to fd 3 once it accepts connections.
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$build/xvfb-display" </dev/null >/dev/null 2>&1 &
echo $! >"$build/xvfb.pid"
for _ in $(seq 100); do [ -s "$build/xvfb-display" ] && break; sleep 0.1; done
[ -s "$build/xvfb-display" ] || { echo "Xvfb did not start"; exit 1; }

# A persistent server: otherwise every program pays for a server start. The prefix may already
# exist (test discovery at build time creates it).
mkdir -p "$WINEPREFIX"
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then "$run" wineboot -i >/dev/null 2>&1; fi
# Wine draws caption buttons and arrows with the Marlett symbol font, which it does not find in
# its own data directory here (fonts-wine); in the prefix's Fonts folder it does.
marlett=/usr/share/wine/fonts/marlett.ttf
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then mkdir -p "$fonts" && cp "$marlett" "$fonts/"; fi
mkdir -p "$small"
if mount -t tmpfs -o size=4m sonafeed-small "$small" 2>/dev/null; then
    ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
fi
# Without a window manager Wine waits about 2 s on each minimise and close unless unmanaged.
"$run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Wine's desktop process would otherwise start with the first test's program and hold that
# test's output pipe open, so CTest would wait for it: start it now and wait until it is up.
ready="$build/wine-desktop-ready"
rm -f "$ready"
setsid "$run" "$3" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
for _ in $(seq 600); do [ -e "$ready" ] && break; sleep 0.1; done
[ -e "$ready" ] || { echo "Wine's desktop did not start"; exit 1; }
echo "Wine session on display :$(cat "$build/xvfb-display")"
