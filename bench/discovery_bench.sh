#!/bin/sh
# Search benchmark on three /24 networks, each built in a private network namespace and searched
# by trawlix-scan with default settings (ten jobs, 10.10.10.10 included) beside nmap's connect scan
# of the same addresses and ports in the same run:
#   sparse    40 legacy and 20 LX400 (HTTPS) adapters of trawlix-sim, 40 hosts with closed ports,
#             153 silent addresses (and a silent 10.10.10.10)
#   empty     every address silent
#   loopback  every address answers at once: 40 legacy and 20 LX400 (HTTPS) adapters served by
#             nginx, the rest refusing; ten jobs and 64
# Silent addresses are routed into a tun device that nobody reads, as a network where no host
# answers ARP or a router drops the packets; adapters and closed hosts are /32 addresses on lo.
# Prints wall time, CPU time and peak memory per run.
#   bench/discovery_bench.sh [BUILD-DIR]   (default build/bench, built Release here)
#   ROUNDS=N (default 3) runs of trawlix-scan per case; NMAP=0 leaves nmap out;
#   OLD=1 also searches sparse and empty with --no-discovery (minutes).
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh "$@"
NMAP=${NMAP:-1}
if ! command -v nginx >/dev/null || { [ "$NMAP" = 1 ] && ! command -v nmap >/dev/null; } ||
    ! command -v openssl >/dev/null || ! command -v bc >/dev/null || [ ! -x /usr/bin/time ]; then
    apt-get install -y -q nginx-light nmap openssl bc time >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export OUT WORK NMAP ROUNDS="${ROUNDS:-3}" OLD="${OLD:-0}"

legacy_line() { # ADDRESS N
    echo "legacy $1 plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:00:00:$2|manufacturer=Voltara|location=Rack $2"
}
lx400_line() { # ADDRESS N
    echo "lx400 $1 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Hall $2|mac=00:0A:9C:40:00:$2"
}

# The sparse network for trawlix-sim: .1-.40 legacy, .41-.60 LX400, .61-.100 closed, the rest silent.
{
    i=1
    while [ $i -le 40 ]; do legacy_line 10.60.0.$i $i; i=$((i + 1)); done
    while [ $i -le 60 ]; do lx400_line 10.60.0.$i $i; i=$((i + 1)); done
    echo "vendor 10.99.0.1"
    echo "latest 17 16 4.30"
    echo "latest LX400 12 1.80"
} >"$WORK/sparse.net"
printf 'vendor 10.99.0.1\nlatest 17 16 4.30\n' >"$WORK/empty.net"

# nginx for the loopback network: the same legacy page the simulator writes, the LX400 login
# and documents, and the vendor's CGI.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=adapter.invalid" -keyout "$WORK/key.pem" \
    -out "$WORK/cert.pem" >/dev/null 2>&1
{
    cat <<EOF
daemon off;
master_process on;
user root;
worker_processes 2;
pid $WORK/nginx.pid;
error_log $WORK/nginx.err;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $WORK/body;
    proxy_temp_path $WORK/proxy;
    fastcgi_temp_path $WORK/fastcgi;
    uwsgi_temp_path $WORK/uwsgi;
    scgi_temp_path $WORK/scgi;
    ssl_certificate $WORK/cert.pem;
    ssl_certificate_key $WORK/key.pem;
    server {
        listen 10.99.0.1:80;
        location /cgi-bin/kvt_update.cgi {
            default_type text/html;
            return 200 '<html><body><table>
<tr><td><b>Your version:</b></td><td class="mainb">4.26</td></tr>
<tr><td><b>Latest version:</b></td><td class="mainb">4.30</td></tr>
</table></body></html>
';
        }
    }
EOF
    i=1
    while [ $i -le 40 ]; do
        cat <<EOF
    server {
        listen 10.62.0.$i:80;
        location / {
            default_type text/html;
            return 200 '<html><head><title>Network</title></head><body><table>
<tr><td class="main">LX200&nbsp;Hardware</td><td class="mainb" width="100%">LX300 16MB</td></tr>
<tr><td class="main">LX200&nbsp;Firmware</td><td class="mainb" width="100%">LX200 v 4.26.16</td></tr>
<tr><td class="main">MAC&nbsp;Address</td><td class="mainb" width="100%">00:0A:9C:00:00:$i</td></tr>
<tr><td class="main">UPS&nbsp;Manufacturer</td><td class="mainb" width="100%">Voltara</td></tr>
<tr><td class="main">Location</td><td class="mainb" width="100%">Rack $i</td></tr>
</table></body></html>
';
        }
    }
EOF
        i=$((i + 1))
    done
    while [ $i -le 60 ]; do
        cat <<EOF
    server {
        listen 10.62.0.$i:443 ssl;
        default_type application/json;
        location = /api/login {
            add_header Set-Cookie "LX400SESSION=s$i; Path=/; HttpOnly";
            return 200 '{"result":"ok"}';
        }
        location = /api/system/info {
            return 200 '{"version":"V1.78.12","name":"LX400","manufacturer":"Voltara","location":"Hall $i","uptime":12345}';
        }
        location = /api/system/network/config {
            return 200 '{"ipv4":{"mac":"00:0A:9C:40:00:$i"}}';
        }
    }
EOF
        i=$((i + 1))
    done
    echo "}"
} >"$WORK/nginx.conf"

unshare --net sh -eu -c '
ip link set lo up
ip tuntap add dev tun0 mode tun
ip link set tun0 up
ip route add 10.10.10.10/32 dev tun0
ip route add 10.60.0.0/24 dev tun0
ip route add 10.61.0.0/24 dev tun0
ip addr add 10.99.0.1/32 dev lo
i=1
while [ $i -le 100 ]; do ip addr add 10.60.0.$i/32 dev lo; i=$((i + 1)); done
# The searching machine itself: its own address refuses like the closed hosts.
ip addr add 10.60.0.254/32 dev lo
# The loopback network: the whole /24 is local, so addresses without a server refuse at once.
ip addr add 10.62.0.254/24 dev lo

measure() { # LABEL SUBNET [OPTIONS...]
    label=$1; subnet=$2; shift 2
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$OUT/cli/trawlix-scan" --no-progress \
        --update-server 10.99.0.1 --format csv "$@" "$subnet" >"$WORK/rows"
    rows=$(($(wc -l <"$WORK/rows") - 1))
    read -r wall user sys rss <"$WORK/time"
    printf "  %-26s %3d rows  wall %6.2f s  cpu %5.2f s  peak memory %5.1f MiB\n" "$label" "$rows" "$wall" \
        "$(echo "$user + $sys" | bc)" "$(echo "scale=1; $rss / 1024" | bc)"
}
nmap_scan() { # NETWORK-PREFIX
    [ "$NMAP" = 1 ] || return 0
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" nmap -sT -n -Pn -p80,443 "$1.1-254" 10.10.10.10 \
        >"$WORK/nmap.out"
    read -r wall user sys rss <"$WORK/time"
    open=$(grep -c "^[0-9]*/tcp *open" "$WORK/nmap.out" || true)
    printf "  %-26s %3d open  wall %6.2f s  cpu %5.2f s  peak memory %5.1f MiB\n" "nmap -sT -p80,443" "$open" \
        "$wall" "$(echo "$user + $sys" | bc)" "$(echo "scale=1; $rss / 1024" | bc)"
}
BENCH_INNER=1 . "$ROOT/bench/common.sh"

echo "sparse /24: 60 adapters, 40 closed hosts, 153 silent addresses, silent 10.10.10.10"
start_sim "$WORK/sparse.net"
r=1
while [ $r -le "$ROUNDS" ]; do measure "trawlix-scan (round $r)" "10.60.0.*"; r=$((r + 1)); done
[ "$OLD" != 1 ] || measure "trawlix-scan --no-discovery" "10.60.0.*" --no-discovery
nmap_scan 10.60.0
stop_sim

echo "empty /24: every address silent"
start_sim "$WORK/empty.net"
r=1
while [ $r -le "$ROUNDS" ]; do measure "trawlix-scan (round $r)" "10.61.0.*"; r=$((r + 1)); done
[ "$OLD" != 1 ] || measure "trawlix-scan --no-discovery" "10.61.0.*" --no-discovery
nmap_scan 10.61.0
stop_sim

echo "loopback /24 served by nginx: 40 legacy, 20 LX400 over HTTPS, the rest refusing"
ip route del 10.10.10.10/32 dev tun0
ip addr add 10.10.10.10/32 dev lo
nginx -c "$WORK/nginx.conf" -p "$WORK" &
NGINX=$!
n=0
until [ -s "$WORK/nginx.pid" ]; do
    n=$((n + 1)); [ $n -lt 200 ] || { cat "$WORK/nginx.err"; exit 1; }; sleep 0.05
done
sleep 0.2
r=1
while [ $r -le "$ROUNDS" ]; do measure "10 jobs (round $r)" "10.62.0.*"; r=$((r + 1)); done
r=1
while [ $r -le "$ROUNDS" ]; do measure "64 jobs (round $r)" "10.62.0.*" --jobs 64; r=$((r + 1)); done
measure "10 jobs, --no-discovery" "10.62.0.*" --no-discovery
nmap_scan 10.62.0
kill $NGINX; wait $NGINX 2>/dev/null || true
'
