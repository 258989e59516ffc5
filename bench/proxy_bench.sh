#!/bin/sh
# Proxy benchmark: a sparse /24 in a private network namespace (40 legacy and 20 LX400 (HTTPS)
# adapters of trawlix-sim, 40 hosts with closed ports, 154 silent addresses routed into a tun
# device nobody reads; 10.10.10.10 left out), searched by trawlix-scan and by the desktop program
# with no proxy variable set, with every proxy variable naming a recording proxy (nginx, which
# forwards plain requests, refuses CONNECT and logs every request line), and with every proxy
# variable naming a proxy that is down; beside nmap's connect scan of the same ports in the same run.
# The desktop program runs offscreen with automatic search and is timed from its start to the end
# of its search (the debug trace's end-of-search line, on standard output through a debug.ini
# that only this namespace sees).
# Prints wall time, rows, and the requests the proxy got per kind of host; a desktop search that
# has not ended after 900 s is cut off ("no end").
#   bench/proxy_bench.sh [BUILD-DIR]   (default build/bench, built Release with the GUI here)
#   ROUNDS=N (default 3) runs per case; NMAP=0 leaves nmap out; GUI=0 leaves the desktop program out.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OUT=${1:-$ROOT/build/bench}
if [ $# -eq 0 ]; then
    cmake -S . -B "$OUT" -G Ninja -DTRAWLIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$OUT" --target trawlix-scan trawlix-sim trawlix >/dev/null
fi
NMAP=${NMAP:-1}
GUI=${GUI:-1}
[ -x "$OUT/ui/trawlix" ] || GUI=0
if ! command -v nginx >/dev/null || { [ "$NMAP" = 1 ] && ! command -v nmap >/dev/null; } || ! command -v bc >/dev/null; then
    apt-get install -y -q nginx-light nmap bc >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export ROOT OUT WORK NMAP GUI ROUNDS="${ROUNDS:-3}"

# .1-.40 legacy, .41-.60 LX400, .61-.100 closed, the rest silent.
{
    i=1
    while [ $i -le 40 ]; do
        echo "legacy 10.60.0.$i plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:00:00:$i|manufacturer=Voltara|location=Rack $i"
        i=$((i + 1))
    done
    while [ $i -le 60 ]; do
        echo "lx400 10.60.0.$i https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Hall $i|mac=00:0A:9C:40:00:$i"
        i=$((i + 1))
    done
    echo "vendor 10.99.0.1"
    echo "latest 17 16 4.30"
    echo "latest LX400 12 1.80"
} >"$WORK/sparse.net"

# The recording proxy: plain requests in absolute form are forwarded to the address they name.
cat >"$WORK/nginx.conf" <<EOF
daemon off;
master_process on;
user root;
worker_processes 1;
pid $WORK/nginx.pid;
error_log $WORK/nginx.err;
events { worker_connections 1024; }
http {
    log_format line '\$request';
    access_log $WORK/proxy.log line;
    client_body_temp_path $WORK/body;
    proxy_temp_path $WORK/proxytmp;
    fastcgi_temp_path $WORK/fastcgi;
    uwsgi_temp_path $WORK/uwsgi;
    scgi_temp_path $WORK/scgi;
    server {
        listen 127.0.0.1:3128;
        location / { proxy_pass http://\$host\$request_uri; }
    }
}
EOF

# The desktop program beside its settings file: automatic search of the sparse network.
if [ "$GUI" = 1 ]; then
    mkdir -p "$WORK/gui"
    cp "$OUT/ui/trawlix" "$WORK/gui/trawlix"
    cat >"$WORK/gui/trawlix.ini" <<EOF
[settings]
subnets=10.60.0.*
autoscan=1
scansubnet=1
scan10=0
selsubnet=10.60.0.*
subnetrange=1;254
updateserver=10.99.0.1
EOF
fi

unshare --net --mount sh -eu -c '
ip link set lo up
ip tuntap add dev tun0 mode tun
ip link set tun0 up
ip route add 10.60.0.0/24 dev tun0
ip addr add 10.99.0.1/32 dev lo
i=1
while [ $i -le 100 ]; do ip addr add 10.60.0.$i/32 dev lo; i=$((i + 1)); done
# The trace configuration of this namespace only: /etc as it is, with /etc/jalvex/debug.ini on top.
mkdir -p "$WORK/etc/upper/jalvex" "$WORK/etc/work"
printf "[Debug]\nMode=file\nFile=stdout\n" >"$WORK/etc/upper/jalvex/debug.ini"
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$WORK/etc/upper,workdir=$WORK/etc/work" /etc

"$OUT/sim/trawlix-sim" "$WORK/sparse.net" --ready-file "$WORK/ready" >"$WORK/sim.out" 2>&1 &
SIM=$!
nginx -c "$WORK/nginx.conf" -p "$WORK" &
NGINX=$!
n=0
until [ -e "$WORK/ready" ] && [ -s "$WORK/nginx.pid" ]; do
    n=$((n + 1)); [ $n -lt 200 ] || { cat "$WORK/sim.out" "$WORK/nginx.err"; exit 1; }; sleep 0.05
done
trap "kill $SIM $NGINX 2>/dev/null; wait 2>/dev/null" EXIT
OUT_GUI=$WORK/gui/trawlix

now() { date +%s.%N; }
proxied() { # how many requests the proxy got, for the vendor and for adapters
    vendor=$(grep -c "10\.99\.0\.1" "$WORK/proxy.log" || true)
    adapters=$(grep -c "10\.60\.0\." "$WORK/proxy.log" || true)
    printf "proxy: %3d vendor, %3d adapter requests" "$vendor" "$adapters"
}
scan_run() { # LABEL
    : >"$WORK/proxy.log"
    start=$(now)
    "$OUT/cli/trawlix-scan" --no-progress --no-default-address --update-server 10.99.0.1 --format csv "10.60.0.*" \
        >"$WORK/rows"
    wall=$(echo "$(now) - $start" | bc)
    # The trace of this namespace writes its end-of-search line to standard output as well.
    rows=$(grep -c ",10\.60\.0\." "$WORK/rows" || true)
    updates=$(grep -c ",Available (" "$WORK/rows" || true)
    printf "  %-40s %3d rows (%2d with an update)  wall %6.2f s  %s\n" "$1" "$rows" "$updates" "$wall" "$(proxied)"
}
gui_run() { # LABEL
    [ "$GUI" = 1 ] || return 0
    : >"$WORK/proxy.log"
    : >"$WORK/gui.out"
    start=$(now)
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK" "$OUT_GUI" >>"$WORK/gui.out" 2>"$WORK/gui.err" &
    GUIPID=$!
    ended="        "
    until grep -q "READY scanning ADAPTER" "$WORK/gui.out"; do
        [ "$(echo "$(now) - $start > 900" | bc)" = 0 ] || { ended="no end: "; break; }
        sleep 0.02
    done
    wall=$(echo "$(now) - $start" | bc)
    kill $GUIPID; wait $GUIPID 2>/dev/null || true
    printf "  %-40s                     %s wall %6.2f s  %s\n" "$1" "$ended" "$wall" "$(proxied)"
}
nmap_run() {
    [ "$NMAP" = 1 ] || return 0
    start=$(now)
    nmap -sT -n -Pn -p80,443 "10.60.0.1-254" >"$WORK/nmap.out"
    wall=$(echo "$(now) - $start" | bc)
    open=$(grep -c "^[0-9]*/tcp *open" "$WORK/nmap.out" || true)
    printf "  %-40s %3d open ports                 wall %6.2f s\n" "nmap -sT -p80,443" "$open" "$wall"
}
PROXY_VARIABLES="http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY"
with_proxy() { # URL COMMAND...: runs COMMAND with every proxy variable set to URL
    url=$1; shift
    for v in $PROXY_VARIABLES; do export "$v=$url"; done
    "$@"
    for v in $PROXY_VARIABLES; do unset "$v"; done
}

echo "sparse /24: 60 adapters, 40 closed hosts, 154 silent addresses"
r=1
while [ $r -le "$ROUNDS" ]; do
    scan_run "trawlix-scan, no proxy (round $r)"
    with_proxy http://127.0.0.1:3128 scan_run "trawlix-scan, recording proxy (round $r)"
    with_proxy http://127.0.0.1:9 scan_run "trawlix-scan, proxy down (round $r)"
    gui_run "trawlix, no proxy (round $r)"
    with_proxy http://127.0.0.1:3128 gui_run "trawlix, recording proxy (round $r)"
    with_proxy http://127.0.0.1:9 gui_run "trawlix, proxy down (round $r)"
    r=$((r + 1))
done
nmap_run
'
