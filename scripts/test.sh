#!/usr/bin/env bash
# Builds and runs every test: first the native tree (plain logic, sanitizers, fuzz smoke runs),
# then the Windows tree under Wine (its ctest starts and stops its own Xvfb display and
# wineserver), then the release zip, unpacked and run. Ends with one summary line per part;
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

if bash "$root/scripts/build.sh" native; then
    run_tree native "$root/build/native"
else
    summaries+=("native: build failed"); status=1
fi
if bash "$root/scripts/build.sh" windows; then
    run_tree "windows $arch" "$build"
    # The other architecture's product is built, not run: of its tests only the check that
    # Windows XP can load it applies, and the shipped 32-bit exe is the one that matters.
    other=$(winother "$arch")
    run_tree "windows $other product" "$(winbuild "$other")-product" -R exe_loads_on_xp
    # The release zip as scripts/package.sh makes it, tried from an unpacked folder.
    if bash "$root/scripts/package.sh" &&
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
