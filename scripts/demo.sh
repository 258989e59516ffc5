#!/bin/sh
# The main job: builds Trawlix and searches a simulated adapter network with trawlix-scan.
# Installs what it needs (Debian 12, as root). The simulated adapters live in a private network
# namespace made here; nothing is sent to this machine's own network.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
"$ROOT/scripts/deps.sh"

OUT=${TRAWLIX_BUILD_ROOT:-$ROOT/build}/demo
cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_GUI=OFF -DTRAWLIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$OUT" -j "$(nproc)" --target trawlix-scan trawlix-sim

NETWORK=${1:-$ROOT/sim/networks/sample.net}
export OUT NETWORK
exec unshare --net sh -eu -c '
ip link set lo up
# Every simulated host gets its address on the namespace'"'"'s loopback device.
for address in $(awk '"'"'$1=="legacy"||$1=="lx400"||$1=="host"||$1=="vendor" {split($2, a, ":"); print a[1]}'"'"' "$NETWORK"); do
    ip addr add "$address/32" dev lo
done
LOG=$(mktemp)
"$OUT/sim/trawlix-sim" "$NETWORK" >"$LOG" 2>&1 &
SIM=$!
trap "kill $SIM 2>/dev/null; wait $SIM 2>/dev/null; rm -f $LOG" EXIT
tries=0
until grep -q ready "$LOG"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $SIM 2>/dev/null; then cat "$LOG"; exit 1; fi
    sleep 0.1
done
echo
echo "Simulated network (private namespace): $(cat "$LOG" | sed "s/^trawlix-sim: //")"
echo "Searching 192.168.77.1-254 and the factory address 10.10.10.10; vendor server 10.99.0.1."
echo
"$OUT/cli/trawlix-scan" --update-server 10.99.0.1 192.168.77.*
'
