#!/bin/sh
# Soak of the desktop program: in a private network namespace where trawlix-sim plays a small
# network (the factory address, legacy and LX400 adapters, one that refuses the login, one that
# answers slowly, the vendor), the program searches SEARCHES times in a row through its Start
# button, every tenth search stopped in the middle, and then its window is closed (see
# bench/soak/trawlix_soak.cpp). Under Xvfb unless QT_QPA_PLATFORM=offscreen is set.
#   bench/soak_bench.sh [BUILD-DIR [SEARCHES]]    (default build/soak, built Release here; 200)
# With the default 200 searches the bench judges: each search ends within 60 s, and after the
# last search the resident set is at most 8 MiB and the heap in use at most 2 MiB above their
# figures after the first (what grows is Qt's cache of drawn controls, which Qt keeps below
# QPixmapCache::cacheLimit(), 10 MiB). Fewer searches (CI runs 20) only report the figures.
# SOAK_WRAP is put before the program, e.g. SOAK_WRAP="heaptrack -o /tmp/soak" for a heap
# profile. Exit status 77 when no network namespace can be made.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
if [ $# -eq 0 ]; then
    OUT=$ROOT/build/soak
    cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_GUI=ON -DTRAWLIX_BUILD_TESTS=OFF -DTRAWLIX_BUILD_BENCH=ON \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$OUT" --target trawlix-soak trawlix-sim >/dev/null
else
    OUT=$1
fi
SEARCHES=${2:-200}
if [ "$SEARCHES" -ge 200 ]; then
    BOUNDS="60 8 2"
else
    BOUNDS=
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
NET=$WORK/soak.net
cat >"$NET" <<'EOF'
legacy 10.10.10.10 plain-width hardware=LX300|firmware=LX200 v 4.10.16|mac=00:0A:9C:00:00:01|manufacturer=Voltara|location=Factory
legacy 10.72.0.1 plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:72:00:01|manufacturer=Voltara|location=Server room 1
legacy 10.72.0.2 plain hardware=LX300 RS485|firmware=LX200 v 4.30.5|mac=00:0A:9C:72:00:02|manufacturer=Kessler USV|location=Keller
legacy 10.72.0.3 script-width hardware=LX300|firmware=LX200 v 3.95.16|mac=00:0A:9C:72:00:03|manufacturer=Voltara|location=Lagerhalle Süd|charset=utf-8
lx400 10.72.0.5 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Rechenzentrum Nürnberg|mac=00:0A:9C:72:00:05
lx400 10.72.0.6 https name=LX400|version=V2.01.3|manufacturer=Voltara|location=Hall 3|mac=00:0A:9C:72:00:06
lx400 10.72.0.7 https name=LX400|version=V2.01.3|password=changed-on-site
lx400 10.72.0.8 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Annex|mac=00:0A:9C:72:00:08|delay=800
vendor 10.99.0.1
latest 17 16 4.30
latest 7 5 4.30
latest LX400 12 1.80
EOF
# The window's settings: the network above from .1 to .12 and the factory address, no search at
# start.
printf '[settings]\nsubnets=10.72.0.*\nautoscan=0\nscansubnet=1\nscan10=1\nselsubnet=10.72.0.*\nsubnetrange=1;12\nhttps=1\nupdateserver=10.99.0.1\n' \
    >"$WORK/trawlix.ini"

export OUT NET WORK SEARCHES BOUNDS ROOT
unshare --net true 2>/dev/null || { echo "skipped: no private network namespace" >&2; exit 77; }
exec unshare --net sh -eu -c '
ip link set lo up
for address in $(awk '"'"'$1=="legacy"||$1=="lx400"||$1=="host"||$1=="vendor" {print $2}'"'"' "$NET"); do
    ip addr add "$address/32" dev lo
done
BENCH_INNER=1 . "$ROOT/bench/common.sh"
start_sim "$NET"
XVFB=
if [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    # A display number nobody uses: Xvfb picks it and writes it once it serves.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    XVFB=$!
    n=0
    until [ -s "$WORK/display" ]; do
        n=$((n + 1)); [ $n -lt 200 ] || { cat "$WORK/xvfb.log"; exit 1; }; sleep 0.05
    done
    export DISPLAY=":$(cat "$WORK/display")" QT_QPA_PLATFORM=xcb
fi
status=0
# shellcheck disable=SC2086
LANG=C ${SOAK_WRAP:-} "$OUT/bench/trawlix-soak" "$WORK/trawlix.ini" "$SEARCHES" $BOUNDS || status=$?
stop_sim
[ -z "$XVFB" ] || { kill "$XVFB"; wait "$XVFB" 2>/dev/null || true; }
exit $status
'
