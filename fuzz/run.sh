#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays the kept regression inputs, then fuzzes each
# target for SECONDS (0: no time limit) from a scratch copy of its seed corpus, so the seeds in
# the repository never grow. Prints the executions per target; exits non-zero on any finding,
# whose input is left in the build directory's findings/<target>/.
#
# usage: fuzz/run.sh [SECONDS=30] [TARGET...]
#   SONAFEED_FUZZ_BUILD    build directory (default: build/fuzz)
#   SONAFEED_FUZZ_OPTIONS  extra libFuzzer options, e.g. "-runs=10000000" with SECONDS 0
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz="$root/fuzz"
build=${SONAFEED_FUZZ_BUILD:-$root/build/fuzz}
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(config_lines device_list publish_url pull_request encoder_args audio_levels)
read -r -a options <<<"${SONAFEED_FUZZ_OPTIONS:-}"

cmake -S "$fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
for target in "${targets[@]}"; do
    binary="$build/fuzz_$target"
    [ -x "$binary" ] || { echo "unknown target: $target" >&2; exit 2; }
    log="$build/logs/$target.log"
    rm -rf "$build/findings/$target"
    mkdir -p "$build/logs" "$build/findings/$target" "$scratch/$target"

    regressions=()
    if [ -d "$fuzz/regressions/$target" ]; then
        mapfile -t regressions < <(find "$fuzz/regressions/$target" -type f | sort)
    fi
    if [ ${#regressions[@]} -gt 0 ] &&
        ! "$binary" "${regressions[@]}" >"$log.regressions" 2>&1; then
        echo "$target: a regression input fails again (see $log.regressions)"
        failed=1
        continue
    fi

    cp "$fuzz/corpus/$target/"* "$scratch/$target/"
    if "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target/" "${options[@]}" "$scratch/$target" \
        >"$log" 2>&1; then
        result=ok
    else
        result="FINDING (see $log and $build/findings/$target/)"
        failed=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "$target: ${runs:-?} executions, ${#regressions[@]} regression inputs replayed, $result"
done
exit "$failed"
