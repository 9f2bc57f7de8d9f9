#!/usr/bin/env bash
# Builds and runs every test: first the native tree (plain logic, sanitizers, fuzz smoke runs),
# then the Windows tree under Wine (its ctest starts and stops its own Xvfb displays and
# wineservers), then the release zip, unpacked and run. Each Windows build overlaps the tests
# before it. Ends with one summary line per part;
# fails when any part failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/winarch.sh"
bash "$root/scripts/setup.sh" || exit 1
export SONAFEED_SET_UP=1 # build.sh skips the setup
arch=$(winarch)
build=$(winbuild "$arch")
winbuild_note "$arch"

# Runs one tree's ctest; its summary is the line with "tests passed".
summaries=()
status=0
run_tree() {
    local name=$1 dir=$2 log
    shift 2
    log=$(mktemp)
    ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$log"
    local result=${PIPESTATUS[0]}
    summaries+=("$name ($dir): $(grep -m1 'tests passed' "$log" || echo 'no test ran')")
    rm -f "$log"
    [ "$result" -eq 0 ] || status=1
}

# A build.sh part in the background, at low priority beside the tests; finish_build waits for
# it and shows its output then, not amid the tests'.
start_build() {
    build_log=$(mktemp)
    nice -n 19 bash "$root/scripts/build.sh" "$1" </dev/null >"$build_log" 2>&1 &
    build_pid=$!
}
finish_build() {
    wait "$build_pid"
    local result=$?
    cat "$build_log"
    rm -f "$build_log"
    return $result
}

native_built=0
bash "$root/scripts/build.sh" native && native_built=1
# The fuzz runs keep one core busy and leave the other to the Windows tree.
start_build windows-tree
if [ $native_built = 1 ]; then
    run_tree native "$root/build/native"
else
    summaries+=("native: build failed"); status=1
fi
if finish_build; then
    # The other architecture's product is built, not run: of its tests only the check that
    # Windows XP can load it applies, and the shipped 32-bit exe is the one that matters. It
    # compiles while the tests mostly wait on the program's timers.
    other=$(winother "$arch")
    start_build windows-other
    # Two lanes: the broadcasts in their own Wine session, the other tests in the tree's.
    run_tree "windows $arch" "$build" -j2
    if finish_build; then
        run_tree "windows $other product" "$(winbuild "$other")-product" -R exe_loads_on_xp
    else
        summaries+=("windows $other product: build failed"); status=1
    fi
    # The release zip as scripts/package.sh makes it, tried from an unpacked folder. Made in the
    # 32-bit tree built above, which is configured as package.sh's own.
    package_build=$build
    [ "$arch" = win32 ] || package_build="$(winbuild win32)-product"
    if SONAFEED_PACKAGE_BUILD=$package_build bash "$root/scripts/package.sh" &&
       python3 "$root/tests/release/try_release.py" "$root/dist" "$build"; then
        summaries+=("release zip (dist): passed")
    else
        summaries+=("release zip (dist): failed"); status=1
    fi
else
    summaries+=("windows $arch: build failed"); status=1
fi

echo
echo "Summary:"
printf '  %s\n' "${summaries[@]}"
winbuild_note "$arch"
exit $status
