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
# With FUZZ_RUNS set, a target also stops after that many executions. With
# FUZZ_FORK=N the short-input runs spread over N processes (libFuzzer's fork
# mode, which counts the executions of all of them); a child's time-out or
# crash there does not stop the run but still fails the target.
#
# An input that takes longer than FUZZ_TIMEOUT seconds (default 2) is a
# finding like a crash: a path whose cost grows with the square of the input
# freezes the program on one hostile feed. Short inputs hide such paths, so
# the targets named in FUZZ_LARGE_TARGETS run a second time, for
# FUZZ_LARGE_SECONDS (default SECONDS), on inputs up to FUZZ_LARGE_LEN bytes
# (default 262144) in a corpus of their own, seeded besides with an item
# whose title is "<a " over and over, every tag left open, up to that length.
set -uo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "$1") seconds=$2
max_len=${FUZZ_MAX_LEN:-4096}
timeout=${FUZZ_TIMEOUT:-2}
large_len=${FUZZ_LARGE_LEN:-262144}
large_seconds=${FUZZ_LARGE_SECONDS:-$seconds}
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tansy-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

large_seeds=$scratch/large-seeds
mkdir -p "$large_seeds"
/usr/bin/python3 -c '
import sys
head = b"<rss><channel><item><title>"
tail = b"</title><link>http://example.jp/</link></item></channel></rss>\n"
room = int(sys.argv[2]) - len(head) - len(tail)
open(sys.argv[1], "wb").write(head + b"<a " * (room // 3) + tail)
' "$large_seeds/open_tags_title.xml" "$large_len" || exit 1

# Each target, and after it its run on long inputs where asked.
runs=()
for target in "$@"; do
    runs+=("$target")
    [[ " ${FUZZ_LARGE_TARGETS:-} " == *" $target "* ]] && runs+=("$target@large")
done

failed=0
summary=()
for run in "${runs[@]}"; do
    target=${run%@large}
    name=${target#fuzz_}
    exe=$build/fuzz/$target
    # Absolute paths throughout: a target may change its working directory.
    seeds=()
    [[ -d fuzz/seeds/$name ]] && seeds+=("$PWD/fuzz/seeds/$name")
    [[ -n ${TANSY_FEEDS:-} && -d $TANSY_FEEDS ]] && seeds+=("$(realpath "$TANSY_FEEDS")")
    options=(-print_final_stats=1 -timeout="$timeout" -rss_limit_mb=2048)
    if [[ $run == *@large ]]; then
        label=$target@$large_len
        corpus=$build/corpus/$target-large
        seeds+=("$large_seeds")
        options+=(-max_total_time="$large_seconds" -max_len="$large_len")
        run_seconds=$large_seconds
    else
        label=$target
        corpus=$build/corpus/$target
        options+=(-max_total_time="$seconds" -max_len="$max_len")
        [[ -n ${FUZZ_RUNS:-} ]] && options+=(-runs="$FUZZ_RUNS")
        [[ -n ${FUZZ_FORK:-} ]] && options+=(-fork="$FUZZ_FORK")
        run_seconds=$seconds
    fi
    artifacts=$build/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    options+=(-artifact_prefix="$artifacts/")
    [[ -f fuzz/$name.dict ]] && options+=(-dict="$PWD/fuzz/$name.dict")
    log=$build/${label/@/-}.log
    echo "fuzz: $label for ${run_seconds}s (log $log)"
    # The status.dat target writes a file per input: keep that in memory.
    TMPDIR=$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "$scratch") \
        "$exe" "${options[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1
    code=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    # Fork mode prints no final statistics: its last "#N: ... oom/timeout/crash:
    # O/T/C time: Ss" line has them (its exec/s is the last child's alone).
    forked=$(grep -E '^#[0-9]+: cov: ' "$log" | tail -1)
    if [[ -n $forked ]]; then
        read -r execs findings elapsed < <(sed -E \
            's/^#([0-9]+):.* oom\/timeout\/crash: ([0-9/]+) time: ([0-9]+)s.*/\1 \2 \3/' <<<"$forked")
        rate=$((execs / (elapsed > 0 ? elapsed : 1)))
        [[ $findings != 0/0/0 ]] && code=1
    fi
    units=$(find "$corpus" -type f | wc -l)
    outcome=ok
    if ((code != 0)); then
        failed=1
        outcome=CRASH
        grep -q 'ERROR: libFuzzer: timeout' "$log" && outcome="SLOW (over ${timeout}s)"
        [[ -n $forked ]] && outcome="oom/timeout/crash $findings"
        echo "fuzz: $label FAILED (exit $code); the input is in $artifacts/" >&2
        grep -m1 -A12 -E '^==[0-9]+==ERROR|SUMMARY|deadly signal|ALARM|^[a-z].*\(slot' "$log" >&2
    fi
    summary+=("$(printf '%-23s %10s execs %7s/s  %-9s corpus %5s  %s' "$label" "${execs:-?}" \
        "${rate:-?}" "${cov:-cov: ?}" "$units" "$outcome")")
done
printf '%s\n' "${summary[@]}"
exit $failed
