#!/bin/sh
# Wide-search benchmark in a private network namespace: a /20 (4096 addresses) holding 40 legacy
# and 20 LX400 (HTTPS) adapters of trawlix-sim, every other address silent (routed into a tun
# device nobody reads, as a network where no host answers ARP), and a silent 10.10.10.10.
# trawlix-scan searches it with default settings (ten jobs, 10.10.10.10 included), under the
# open-file limit the shell has, under a soft limit of 1024 that it raises to the hard one, and
# under 1024:1024, which it cannot raise (the knock then works in rounds of 512 connects); beside
# nmap's connect scan of ports 80 and 443 of the same addresses in the same run (about a minute;
# no time limit is given to it). Prints wall time, CPU time, peak memory and how much the
# kernel's slab objects in use grew meanwhile, with the most TCP sockets open at once (the knock's
# connects; both sampled every 0.1 s, so approximate, and the slab is shared with anything else
# that runs on the machine).
#   bench/networks_bench.sh [BUILD-DIR]   (default build/bench, built Release here)
#   ROUNDS=N (default 3) runs with the shell's limit; NMAP=0 leaves nmap out;
#   WIDE=1 also searches the /16 around it (65536 addresses, the same 60 adapters), with --explain.
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh "$@"
NMAP=${NMAP:-1}
if { [ "$NMAP" = 1 ] && ! command -v nmap >/dev/null; } || ! command -v bc >/dev/null || [ ! -x /usr/bin/time ] ||
    ! command -v prlimit >/dev/null; then
    apt-get install -y -q nmap bc time util-linux >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export OUT WORK NMAP ROUNDS="${ROUNDS:-3}" WIDE="${WIDE:-0}"

# 60 adapters spread over the 16 /24 networks of 10.64.0.0/20: adapter i at 10.64.(i-1)%16.(i+10).
{
    i=1
    while [ $i -le 60 ]; do
        address=10.64.$(((i - 1) % 16)).$((i + 10))
        if [ $i -le 40 ]; then
            echo "legacy $address plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:00:00:$i|manufacturer=Voltara|location=Rack $i"
        else
            echo "lx400 $address https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Hall $i|mac=00:0A:9C:40:00:$i"
        fi
        i=$((i + 1))
    done
    echo "vendor 10.99.0.1"
    echo "latest 17 16 4.30"
    echo "latest LX400 12 1.80"
} >"$WORK/wide.net"

unshare --net sh -eu -c '
ip link set lo up
ip tuntap add dev tun0 mode tun
ip link set tun0 up
ip route add 10.10.10.10/32 dev tun0
ip route add 10.64.0.0/16 dev tun0
ip addr add 10.99.0.1/32 dev lo
for address in $(awk "/^(legacy|lx400) /{print \$2}" "$WORK/wide.net"); do ip addr add "$address/32" dev lo; done
BENCH_INNER=1 . "$ROOT/bench/common.sh"
start_sim "$WORK/wide.net"
trap "stop_sim 2>/dev/null" EXIT

# Kernel memory in slab objects in use, KiB (all of the machine); the slab total of /proc/meminfo
# where slabinfo cannot be read.
slab() {
    if [ -r /proc/slabinfo ]; then
        awk "NR > 2 { s += \$2 * \$4 } END { print int(s / 1024) }" /proc/slabinfo
    else
        awk "/^Slab:/{print \$2}" /proc/meminfo
    fi
}
# TCP sockets of this namespace: the connects of the knock among them.
sockets() { awk "/^TCP:/{print \$3}" /proc/net/sockstat; }
# Runs a command with the kernel slab and the sockets sampled every 0.1 s; prints one line.
run() { # LABEL WHAT COMMAND...
    label=$1; what=$2; shift 2
    base=$(slab)
    echo "$base 0" >"$WORK/peak"
    ( peak=$base; most=0
      while :; do
          s=$(slab); n=$(sockets)
          [ "$s" -le "$peak" ] || peak=$s
          [ "$n" -le "$most" ] || most=$n
          echo "$peak $most" >"$WORK/peak.new"; mv "$WORK/peak.new" "$WORK/peak"
          sleep 0.1
      done ) &
    SAMPLER=$!
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$@" >"$WORK/out" 2>"$WORK/err" || true
    kill $SAMPLER; wait $SAMPLER 2>/dev/null || true
    read -r wall user sys rss <"$WORK/time"
    read -r peak most <"$WORK/peak"
    case $what in
    rows) count=$(($(wc -l <"$WORK/out") - 1)) ;;
    open) count=$(grep -c "^[0-9]*/tcp *open" "$WORK/out" || true) ;;
    esac
    printf "  %-36s %3d %-4s wall %6.2f s  cpu %5.2f s  peak memory %5.1f MiB  sockets %5d  kernel slab %+6.1f MiB\n" \
        "$label" "$count" "$what" "$wall" "$(echo "$user + $sys" | bc)" "$(echo "scale=1; $rss / 1024" | bc)" \
        "$most" "$(echo "scale=1; ($peak - $base) / 1024" | bc)"
}
scan() { # LABEL [PRLIMIT-NOFILE] NET [OPTIONS...]
    label=$1; limit=$2; net=$3; shift 3
    if [ -n "$limit" ]; then
        run "$label" rows prlimit --nofile="$limit" "$OUT/cli/trawlix-scan" --no-progress --update-server 10.99.0.1 \
            --format csv "$@" "$net"
    else
        run "$label" rows "$OUT/cli/trawlix-scan" --no-progress --update-server 10.99.0.1 --format csv "$@" "$net"
    fi
}

hard=$(ulimit -Hn)
echo "/20: 4096 addresses, 60 adapters, the rest silent, silent 10.10.10.10 (open files: soft $(ulimit -Sn), hard $hard)"
# The narrow limit first: slab objects freed by a wide run still count as in use for a while.
scan "trawlix-scan, limit 1024:1024" "1024:1024" 10.64.0.0/20
r=1
while [ $r -le "$ROUNDS" ]; do scan "trawlix-scan (round $r)" "" 10.64.0.0/20; r=$((r + 1)); done
[ "$hard" = 1024 ] || scan "trawlix-scan, soft limit 1024:$hard" "1024:$hard" 10.64.0.0/20
[ "$NMAP" != 1 ] || run "nmap -sT -p80,443" open nmap -sT -n -Pn -p80,443 10.64.0.0/20 10.10.10.10

if [ "$WIDE" = 1 ]; then
    echo "/16: 65536 addresses, the same 60 adapters, the rest silent"
    scan "trawlix-scan --explain" "" 10.64.0.0/16 --explain
    tail -n 1 "$WORK/err" | sed "s/^/    /"
fi
'
