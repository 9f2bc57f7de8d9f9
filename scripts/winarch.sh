# Sourced by the scripts: which Windows build this host can run under Wine.
#   winarch          prints win32 where Wine's 32-bit loader runs, win64 where only 64-bit Wine
#                    runs (kernels without 32-bit support), none where neither does.
#                    SONAFEED_WINARCH=win32 or win64 forces either.
#   winother ARCH    the other architecture, whose product is built but not run
#   winbuild ARCH    the build tree of that architecture
#   wintoolchain ARCH  its toolchain file
#   wintools ARCH    the tree of the soak and benchmark tools
#   wintriple ARCH   the mingw-w64 target triple (for its objdump)
winarch() {
    if [ -n "${SONAFEED_WINARCH:-}" ]; then
        echo "$SONAFEED_WINARCH"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo win32
    elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
        echo win64
    else
        echo none
    fi
}
winother() { if [ "$1" = win64 ]; then echo win32; else echo win64; fi; }
winbuild() { if [ "$1" = win64 ]; then echo "$root/build/win64"; else echo "$root/build/win"; fi; }
wintoolchain() {
    if [ "$1" = win64 ]; then echo "$root/cmake/toolchain-mingw-x86_64.cmake"
    else echo "$root/cmake/toolchain-mingw-i686.cmake"; fi
}
wintools() { if [ "$1" = win64 ]; then echo "$root/build/tools64"; else echo "$root/build/tools"; fi; }
wintriple() { if [ "$1" = win64 ]; then echo x86_64-w64-mingw32; else echo i686-w64-mingw32; fi; }
# One sentence for the start and the end of a run: which build was run, and why.
winbuild_note() {
    if [ "$1" = win64 ] && [ -n "${SONAFEED_WINARCH:-}" ]; then
        echo "SONAFEED_WINARCH=win64: the 64-bit build of the same sources runs under 64-bit Wine; the shipped 32-bit Sonafeed.exe is built but not run here."
    elif [ "$1" = win64 ]; then
        echo "This host cannot run 32-bit programs: the 64-bit build of the same sources runs under 64-bit Wine; the shipped 32-bit Sonafeed.exe is built but not run here."
    else
        echo "The shipped 32-bit Sonafeed.exe runs under 32-bit Wine."
    fi
}
