#!/usr/bin/env bash
# Runs each libFuzzer target for the given number of seconds, one after the
# other, and prints a line of figures per target.
#
#   tools/fuzz.sh BUILD_DIR SECONDS TARGET...   (the fuzz build tree)
#
# Corpora grow in BUILD_DIR/corpus/TARGET and are kept between runs; seeds
# come from fuzz/seeds/NAME (if any) and from the feed collection in
# $TANSY_FEEDS. A crash leaves its input in BUILD_DIR/artifacts/TARGET/ and
# makes the script fail.
#
# Inputs are capped at FUZZ_MAX_LEN bytes (default 4096): a few KiB reach
# every branch of the scan and the converters, and short inputs keep the rate
# at thousands of executions per second. Seeds longer than that are cut.
# With FUZZ_RUNS set, a target also stops after that many executions.
set -uo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "$1") seconds=$2
max_len=${FUZZ_MAX_LEN:-4096}
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tansy-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failed=0
summary=()
for target in "$@"; do
    name=${target#fuzz_}
    exe=$build/fuzz/$target
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    # Absolute paths throughout: a target may change its working directory.
    seeds=()
    [[ -d fuzz/seeds/$name ]] && seeds+=("$PWD/fuzz/seeds/$name")
    [[ -n ${TANSY_FEEDS:-} && -d $TANSY_FEEDS ]] && seeds+=("$(realpath "$TANSY_FEEDS")")
    options=(-max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 -timeout=20
             -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
    [[ -f fuzz/$name.dict ]] && options+=(-dict="$PWD/fuzz/$name.dict")
    [[ -n ${FUZZ_RUNS:-} ]] && options+=(-runs="$FUZZ_RUNS")
    log=$build/$target.log
    echo "fuzz: $target for ${seconds}s (log $log)"
    # The status.dat target writes a file per input: keep that in memory.
    TMPDIR=$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "$scratch") \
        "$exe" "${options[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1
    code=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    units=$(find "$corpus" -type f | wc -l)
    if ((code != 0)); then
        failed=1
        echo "fuzz: $target FAILED (exit $code); the input is in $artifacts/" >&2
        grep -m1 -A12 -E '^==[0-9]+==ERROR|SUMMARY|deadly signal|^[a-z].*\(slot' "$log" >&2
    fi
    summary+=("$(printf '%-16s %10s execs %7s/s  %-9s corpus %5s  %s' "$target" "${execs:-?}" \
        "${rate:-?}" "${cov:-cov: ?}" "$units" "$( ((code)) && echo CRASH || echo ok)")")
done
printf '%s\n' "${summary[@]}"
exit $failed
