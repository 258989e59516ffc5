#!/bin/sh
# Screenshots of the desktop program in English and German, taken under Xvfb inside a private
# network namespace where trawlix-sim plays the sample network: the main window after a search,
# the settings dialog, the firmware dialog, the "No route?" dialog and the About box. Written to
# docs/screenshots/.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
"$ROOT/scripts/deps.sh"
OUT=${TRAWLIX_BUILD_ROOT:-$ROOT/build}/screenshots
cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_GUI=ON -DTRAWLIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$OUT" -j "$(nproc)" --target trawlix-screenshots trawlix-sim
SHOTS=$ROOT/docs/screenshots
mkdir -p "$SHOTS"
NETWORK=$ROOT/sim/networks/sample.net
export OUT NETWORK SHOTS
exec unshare --net sh -eu -c '
ip link set lo up
for address in $(awk '"'"'$1=="legacy"||$1=="lx400"||$1=="host"||$1=="vendor" {split($2, a, ":"); print a[1]}'"'"' "$NETWORK"); do
    ip addr add "$address/32" dev lo
done
WORK=$(mktemp -d)
"$OUT/sim/trawlix-sim" "$NETWORK" --ready-file "$WORK/ready" >"$WORK/sim.log" 2>&1 &
SIM=$!
Xvfb :91 -screen 0 1400x900x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
trap "kill $SIM $XVFB 2>/dev/null; wait 2>/dev/null; rm -rf $WORK" EXIT
n=0
until [ -e "$WORK/ready" ] && [ -e /tmp/.X11-unix/X91 ]; do
    n=$((n + 1)); [ $n -lt 200 ] || { cat "$WORK/sim.log" "$WORK/xvfb.log"; exit 1; }; sleep 0.05
done
for lang in en de; do
    DISPLAY=:91 QT_QPA_PLATFORM=xcb "$OUT/tools/screenshots/trawlix-screenshots" "$SHOTS" $lang 10.99.0.1 "192.168.77.*"
done
'
