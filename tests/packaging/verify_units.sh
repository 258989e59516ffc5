#!/bin/sh
# Checks the systemd files of packaging/systemd the way systemd reads them, without installing
# them: systemd-analyze verify (any complaint fails, as verify itself only warns about unknown or
# wrong settings), the sandbox's exposure score, and, as root, that the user of sysusers.d and
# the ACL of tmpfiles.d let that user replace a file in node_exporter's textfile folder.
# Exit status 77 (skipped) without systemd-analyze.
set -eu
UNITS=$(cd "$(dirname "$0")/../../packaging/systemd" && pwd)
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed"; exit 77; }
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
chmod 755 "$ROOT"

# A root with the system's own units and a stand-in for the program (verify checks that the
# command exists, never runs it).
mkdir -p "$ROOT/lib/systemd" "$ROOT/usr/bin" "$ROOT/etc/systemd/system"
cp -a /lib/systemd/system "$ROOT/lib/systemd/"
printf '#!/bin/sh\nexit 0\n' >"$ROOT/usr/bin/trawlix-scan"
chmod 755 "$ROOT/usr/bin/trawlix-scan"
cp "$UNITS/trawlix-search.service" "$UNITS/trawlix-search.timer" "$ROOT/etc/systemd/system/"
complaints=$(systemd-analyze verify --man=no --root="$ROOT" \
    "$ROOT/etc/systemd/system/trawlix-search.service" "$ROOT/etc/systemd/system/trawlix-search.timer" 2>&1) || {
    echo "$complaints"; exit 1; }
if [ -n "$complaints" ]; then
    echo "systemd-analyze verify complained:"; echo "$complaints"; exit 1
fi
echo "verify: no complaints"

# The exposure score (0 to 10, lower is tighter) may not grow past 2.0.
score=$(systemd-analyze security --offline=true --root="$ROOT" --threshold=20 \
    "$ROOT/etc/systemd/system/trawlix-search.service" 2>&1) || { echo "$score"; exit 1; }
echo "$score" | tail -1

if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
    echo "not root: the user and the textfile folder's ACL are not tried"
    exit 0
fi
mkdir -p "$ROOT/etc"
cp /etc/passwd /etc/group "$ROOT/etc/"
systemd-sysusers --root="$ROOT" "$UNITS/trawlix.sysusers"
# The ACL names the user, which the system's user database must know: the root's database is
# mounted over it, in a mount namespace of this script's own.
unshare --mount sh -euc '
    mount --bind "$1/etc/passwd" /etc/passwd
    mount --bind "$1/etc/group" /etc/group
    systemd-tmpfiles --root="$1" --create "$2/trawlix.tmpfiles"
    folder="$1/var/lib/prometheus/node-exporter"
    setpriv --reuid=_trawlix --regid=_trawlix --clear-groups \
        sh -c "echo new >\"$folder/trawlix.prom.part\" && mv \"$folder/trawlix.prom.part\" \"$folder/trawlix.prom\""
    [ "$(stat -c %U "$folder/trawlix.prom")" = _trawlix ]
    # Everyone else still may not write there.
    ! setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c "echo x >\"$folder/other.prom\"" 2>/dev/null
' sh "$ROOT" "$UNITS"
echo "_trawlix may replace its textfile in node_exporter's folder"
