# Shared by the bench scripts. Sourced from the source root with the script's arguments,
#   . bench/common.sh "$@"
# it sets ROOT and OUT, the build folder: the first argument, or build/bench, configured Release and
# built here. The shells inside the bench's network namespace source it as
#   BENCH_INNER=1 . "$ROOT/bench/common.sh"
# for start_sim and stop_sim only.
if [ "${BENCH_INNER:-0}" != 1 ]; then
    ROOT=$(pwd)
    OUT=${1:-$ROOT/build/bench}
    if [ $# -eq 0 ]; then
        cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_GUI=OFF -DTRAWLIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$OUT" --target trawlix-scan trawlix-sim >/dev/null
    fi
    export ROOT OUT
fi

# start_sim NETWORK-FILE: starts the simulator (its output in $WORK/sim.out), waits until it
# serves and sets SIM.
start_sim() {
    "$OUT/sim/trawlix-sim" "$1" >"$WORK/sim.out" 2>&1 &
    SIM=$!
    n=0
    until grep -qs ready "$WORK/sim.out"; do
        n=$((n + 1)); [ $n -lt 200 ] || { cat "$WORK/sim.out"; exit 1; }; sleep 0.05
    done
}
stop_sim() { kill "$SIM"; wait "$SIM" 2>/dev/null || true; }
