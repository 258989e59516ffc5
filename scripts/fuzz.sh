#!/bin/sh
# Long fuzzing outside CI: builds the libFuzzer configuration and runs every fuzz target (or the
# one named) for SECONDS each, under libFuzzer's default memory limit of 2048 MB, at low priority.
#   scripts/fuzz.sh SECONDS [TARGET]
# FUZZ_JOBS targets run at a time (default 1); run one fuzz.sh at a time per build folder
# (TRAWLIX_BUILD_ROOT, default build/), since each first brings the build up to date. Each target
# keeps its growing corpus, its findings (crash-*, leak-*, oom-*, timeout-*) and the log of its
# last run in $OUT/work/TARGET; the seed corpus in the source tree is read, never written. Prints
# one line per target: runs, peak RSS, coverage and features, corpus size, and whether it ended
# clean. Exits 1 when a target found something. FUZZ_FRESH=1 empties the working corpora first,
# so that the run starts from the seeds alone. Replay a finding with full allocation stacks:
#   ASAN_OPTIONS=malloc_context_size=30 $OUT/tests/fuzz/AREA/TARGET FINDING
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: scripts/fuzz.sh SECONDS [TARGET]" >&2; exit 2; }
SECONDS_EACH=$1
ONLY=${2:-}
case $SECONDS_EACH in '' | *[!0-9]*) echo "SECONDS must be a number" >&2; exit 2 ;; esac
OUT=${TRAWLIX_BUILD_ROOT:-$ROOT/build}/fuzz
JOBS=${FUZZ_JOBS:-1}

cmake -S . -B "$OUT" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DTRAWLIX_FUZZ=ON -DTRAWLIX_BUILD_GUI=OFF -DTRAWLIX_BUILD_TESTS=OFF >/dev/null
nice -n 10 cmake --build "$OUT" -j "$(nproc)"

# Every target with its seed corpus, as the build registered them for ctest (the command ends in
# the executable, ctest's working corpus and the seeds).
TARGETS=$(ctest --test-dir "$OUT" -L fuzz --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    print(test["name"], test["command"][-3], test["command"][-1])
')
[ -n "$TARGETS" ] || { echo "no fuzz targets built" >&2; exit 1; }
if [ -n "$ONLY" ]; then
    TARGETS=$(echo "$TARGETS" | awk -v t="$ONLY" '$1 == t')
    [ -n "$TARGETS" ] || { echo "no fuzz target $ONLY" >&2; exit 2; }
fi

# run_one NAME BINARY SEEDS: one run; its summary line goes to $OUT/work/NAME/summary.
run_one() {
    dir=$OUT/work/$1
    [ "${FUZZ_FRESH:-0}" != 1 ] || rm -rf "$dir/corpus"
    mkdir -p "$dir/corpus"
    status=0
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} nice -n 10 "$2" -max_total_time="$SECONDS_EACH" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$dir/" \
        "$dir/corpus" "$3" >"$dir/log" 2>&1 || status=$?
    awk -v name="$1" -v status="$status" '
        /^#[0-9]+/ && / cov: / { for (i = 1; i <= NF; i++) { if ($i == "cov:") cov = $(i + 1); if ($i == "ft:") ft = $(i + 1); if ($i == "corp:") corp = $(i + 1) } }
        /^stat::number_of_executed_units:/ { runs = $2 }
        /^stat::peak_rss_mb:/ { rss = $2 }
        END { printf "%-20s runs %10s  peak RSS %5s MB  cov %5s  ft %6s  corpus %-14s %s\n", name, runs, rss, cov, ft, corp,
                     status == 0 ? "clean" : "FINDING (exit " status ")" }' "$dir/log" >"$dir/summary"
}

# FUZZ_JOBS at a time; a batch ends when its slowest target does, which with equal time limits is
# at once.
set -- $(echo "$TARGETS" | awk '{print $1}')
while [ $# -gt 0 ]; do
    k=0
    while [ $# -gt 0 ] && [ $k -lt "$JOBS" ]; do
        line=$(echo "$TARGETS" | awk -v t="$1" '$1 == t')
        # shellcheck disable=SC2086
        run_one $line &
        shift
        k=$((k + 1))
    done
    wait || true
done

failed=0
for name in $(echo "$TARGETS" | awk '{print $1}'); do
    cat "$OUT/work/$name/summary"
    grep -q ' clean$' "$OUT/work/$name/summary" || { failed=1; tail -n 30 "$OUT/work/$name/log"; }
done
exit $failed
