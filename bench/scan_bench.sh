#!/bin/sh
# Scan benchmark: a loopback /24 in a private network namespace holding 40 legacy and 20 LX400
# (HTTPS) simulated adapters plus the vendor server, searched by trawlix-scan with the default ten
# jobs and with 64. Reports wall time, CPU time and peak memory of trawlix-scan, and how long it
# takes to stop after Ctrl-C with ten hanging hosts.
#   bench/scan_bench.sh [BUILD-DIR]      (default build/bench, built Release here)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh "$@"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
NET=$WORK/bench.net
{
    i=1
    while [ $i -le 40 ]; do
        echo "legacy 10.60.0.$i plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:00:00:$i|manufacturer=Voltara|location=Rack $i"
        i=$((i + 1))
    done
    i=101
    while [ $i -le 120 ]; do
        echo "lx400 10.60.0.$i https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Hall $i|mac=00:0A:9C:40:00:$i"
        i=$((i + 1))
    done
    i=1
    while [ $i -le 10 ]; do
        echo "host 10.61.0.$i silent"
        i=$((i + 1))
    done
    echo "vendor 10.99.0.1"
    echo "latest 17 16 4.30"
    echo "latest LX400 12 1.80"
} >"$NET"
export OUT NET WORK
unshare --net sh -eu -c '
ip link set lo up
# The whole /24 is local: addresses without an adapter refuse at once, as on a real segment
# where hosts answer with a reset.
ip addr add 10.60.0.254/24 dev lo
ip addr add 10.61.0.254/24 dev lo
ip addr add 10.99.0.1/32 dev lo
BENCH_INNER=1 . "$ROOT/bench/common.sh"
start_sim "$NET"
trap "stop_sim 2>/dev/null" EXIT
measure() {
    label=$1; shift
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$OUT/cli/trawlix-scan" --no-progress --update-server 10.99.0.1 \
        --format csv "$@" 10.60.0.* >"$WORK/rows"
    rows=$(($(wc -l <"$WORK/rows") - 1))
    read -r wall user sys rss <"$WORK/time"
    printf "%-22s %3d rows  wall %6.2f s  cpu %5.2f s  peak memory %6.1f MiB\n" "$label" "$rows" "$wall" \
        "$(echo "$user + $sys" | bc)" "$(echo "scale=1; $rss / 1024" | bc)"
}
for round in 1 2 3; do
    measure "10 jobs (round $round)"
    measure "64 jobs (round $round)" --jobs 64
done
# Ctrl-C with ten silent hosts: time from the signal to the exit.
"$OUT/cli/trawlix-scan" --no-progress --no-default-address --first 1 --last 10 10.61.0.* >/dev/null &
SCAN=$!
sleep 1
start=$(date +%s%N)
kill -INT $SCAN
wait $SCAN || true
end=$(date +%s%N)
printf "Ctrl-C with 10 hanging hosts: stopped after %d ms\n" $(((end - start) / 1000000))
'
