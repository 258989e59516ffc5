#!/bin/sh
# The main job: builds Trawlix and searches a simulated adapter network, in the desktop program
# when there is a display, otherwise with trawlix-scan.
# Installs what it needs (Debian 12, as root). The simulated adapters live in a private network
# namespace made here; nothing is sent to this machine's own network.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
"$ROOT/scripts/deps.sh"

OUT=${TRAWLIX_BUILD_ROOT:-$ROOT/build}/demo
# With a display the desktop program shows the search; without one trawlix-scan prints it.
GUI=OFF
if [ -n "${DISPLAY:-}" ]; then GUI=ON; fi
cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_GUI=$GUI -DTRAWLIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ $GUI = ON ]; then
    cmake --build "$OUT" -j "$(nproc)" --target trawlix-scan trawlix-sim trawlix
    # The program keeps its settings beside itself: a copy in a folder of its own, set up to
    # search the simulated network with the simulated vendor server.
    DEMO_PROGRAM=$(mktemp -d)/trawlix
    cp "$OUT/ui/trawlix" "$DEMO_PROGRAM"
    printf '[settings]\nsubnets=192.168.77.*\nautoscan=1\nscansubnet=1\nscan10=1\nselsubnet=192.168.77.*\nsubnetrange=1;254\nupdateserver=10.99.0.1\n' \
        >"$(dirname "$DEMO_PROGRAM")/trawlix.ini"
else
    cmake --build "$OUT" -j "$(nproc)" --target trawlix-scan trawlix-sim
    DEMO_PROGRAM=
fi
export DEMO_PROGRAM

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
trap "kill $SIM 2>/dev/null; wait $SIM 2>/dev/null; rm -f $LOG; [ -z \"$DEMO_PROGRAM\" ] || rm -rf \"\$(dirname \"$DEMO_PROGRAM\")\"" EXIT
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
if [ -n "$DEMO_PROGRAM" ]; then
    echo "The Trawlix window opens on your display; close it to end the demo."
    # A display reached over the network (ssh forwarding) is not reachable from the private
    # namespace; the terminal shows the search then.
    "$DEMO_PROGRAM" && exit 0
    echo "The window could not be shown here; the same search in the terminal:"
    echo
fi
"$OUT/cli/trawlix-scan" --update-server 10.99.0.1 192.168.77.*
'
