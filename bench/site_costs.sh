#!/bin/sh
# What one site of the fleet costs, in a private network namespace: 60 adapters of trawlix-sim
# with 5 distinct firmware (model, OEM, version): 20 LX300 16MB 4.26, 15 LX300 4.28, 10 Roomwarden
# IV 4.28, 10 LX400 1.78 and 5 LX400 2.01, with locations of 20 to 40 characters. trawlix-scan
# searches them as trawlix-search.service does (--format prometheus --output). Prints the
# Prometheus file's size as written and gzip-compressed (as a scrape fetches it), its samples, and
# the vendor requests of one search (the simulator's request log): shared within the search, and
# with --vendor-cache-hours 12 for a first and a second search. OLD_SCAN=PATH also runs another
# trawlix-scan (one built before the answers were shared) for its vendor requests.
#   bench/site_costs.sh [BUILD-DIR]   (default build/bench, built Release here)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh "$@"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export OUT WORK OLD_SCAN="${OLD_SCAN:-}"

{
    i=1
    while [ $i -le 60 ]; do
        address=10.70.0.$i
        mac=00:0A:9C:70:00:$(printf %02X $i)
        where="Building $((i % 4 + 1)), floor $((i % 3)), rack $i"
        if [ $i -le 20 ]; then
            echo "legacy $address plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=$mac|manufacturer=Voltara|location=$where"
        elif [ $i -le 35 ]; then
            echo "legacy $address plain hardware=LX300|firmware=LX200 v 4.28.16|mac=$mac|manufacturer=Voltara|location=$where, UPS room"
        elif [ $i -le 45 ]; then
            echo "legacy $address script hardware=Roomwarden IV|firmware=LX200 v 4.28.7|mac=$mac|manufacturer=Kessler USV|location=$where"
        elif [ $i -le 55 ]; then
            echo "lx400 $address https name=LX400|version=V1.78.12|manufacturer=Voltara|location=$where, main hall|mac=$mac"
        else
            echo "lx400 $address https name=LX400|version=V2.01.3|manufacturer=Kessler USV|location=$where|mac=$mac"
        fi
        i=$((i + 1))
    done
    echo "vendor 10.99.0.1"
    echo "latest 17 16 4.30"
    echo "latest 7 16 4.30"
    echo "latest 24 7 4.30"
    echo "latest LX400 12 1.80"
    echo "latest LX400 3 2.01"
} >"$WORK/site.net"
echo "10.70.0.0/24" >"$WORK/networks"

unshare --net sh -eu -c '
ip link set lo up
ip addr add 10.99.0.1/32 dev lo
for address in $(awk "/^(legacy|lx400) /{print \$2}" "$WORK/site.net"); do ip addr add "$address/32" dev lo; done
"$OUT/sim/trawlix-sim" "$WORK/site.net" --log "$WORK/requests.log" >"$WORK/sim.out" 2>&1 &
SIM=$!
trap "kill $SIM" EXIT
n=0
until grep -qs ready "$WORK/sim.out"; do n=$((n + 1)); [ $n -lt 200 ] || exit 1; sleep 0.05; done

requests() { grep -c kvt_update "$WORK/requests.log" || true; }
# search LABEL PROGRAM OPTIONS...: one search of the site, and the vendor requests it made.
search() {
    label=$1; program=$2; shift 2
    before=$(requests)
    XDG_CACHE_HOME="$WORK/cache" "$program" --no-progress --no-default-address --update-server 10.99.0.1 "$@" \
        >/dev/null
    sleep 0.2 # the simulator logs a request just after its answer
    echo "$label: $(($(requests) - before)) vendor requests"
}
site="--networks-file $WORK/networks"
search "one search, answers shared" "$OUT/cli/trawlix-scan" $site --format prometheus --output "$WORK/trawlix.prom"
file=$WORK/trawlix.prom
echo "Prometheus file: $(wc -c <"$file") bytes, $(gzip -c "$file" | wc -c) bytes gzip-compressed," \
    "$(grep -vc "^#" "$file") samples, $(grep -c "^trawlix_adapter_info{" "$file") adapters"
search "first search with --vendor-cache-hours 12" "$OUT/cli/trawlix-scan" $site --vendor-cache-hours 12
search "next search with --vendor-cache-hours 12" "$OUT/cli/trawlix-scan" $site --vendor-cache-hours 12
[ -z "$OLD_SCAN" ] || search "one search by $OLD_SCAN" "$OLD_SCAN" "10.70.0.*"
'
