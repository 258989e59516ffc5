#!/bin/sh
# The desktop program without a display: --version and --help print and end with status 0; a
# start ends with status 1 and one line that names the display it tried, never with an abort.
# Runs inside a private network namespace, as every start of the program must.
#   program_start_test.sh TRAWLIX VERSION
set -u
program=$1
version=$2
if [ "${IN_PRIVATE_NETWORK:-}" != 1 ]; then
    if ! unshare --net true 2>/dev/null; then
        echo "no private network namespace here (needs root)"
        exit 77
    fi
    exec unshare --net env IN_PRIVATE_NETWORK=1 sh "$0" "$@"
fi
ip link set lo up
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
failed=0
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME= "$@" \
        >"$home/out" 2>"$home/err"
    status=$?
}
check() {
    # check WHAT STATUS STDOUT-PATTERN STDERR: an empty pattern or text means nothing there
    if [ "$status" -ne "$2" ]; then
        echo "FAIL $1: status $status, expected $2"
        failed=1
    fi
    if [ -z "$3" ]; then
        [ ! -s "$home/out" ] || { echo "FAIL $1: standard output is not empty"; failed=1; }
    else
        grep -q -e "$3" "$home/out" || { echo "FAIL $1: standard output lacks '$3'"; failed=1; }
    fi
    if [ "$(cat "$home/err")" != "$4" ]; then
        echo "FAIL $1: standard error is"
        cat "$home/err"
        echo "  expected the one line: $4"
        failed=1
    fi
}

run "$program" --version
check --version 0 "^trawlix $version\$" ""
run "$program" --help
check --help 0 "^Usage: trawlix " ""
run "$program"
check "no DISPLAY" 1 "" "trawlix: no display to open: DISPLAY is not set (trawlix-scan searches without one)"
run env DISPLAY=:7391 "$program"
check "unreachable DISPLAY" 1 "" 'trawlix: cannot open the X display ":7391"'
[ "$failed" -eq 0 ] && echo "the program ends cleanly without a display"
exit $failed
