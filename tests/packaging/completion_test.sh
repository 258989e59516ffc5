#!/bin/bash
# The bash completion of trawlix-scan, as bash runs it: every option that --help names, the
# choices of --format and --lang, file names after --compare, --password-file, --networks-file and
# --output, folders after --flash-tool, nothing after options that take free text.
#   completion_test.sh COMPLETION-FILE TRAWLIX-SCAN
set -u
completion=$1
scan=$2
if [ ! -f /usr/share/bash-completion/bash_completion ]; then
    echo "bash-completion is not installed (scripts/deps.sh)"
    exit 77
fi
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"
PATH=$(dirname "$scan"):$PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir tools
touch inventory.json password.txt

failed=0
# Completes the words as bash splits them (an "=" is a word of its own); the last word is the one
# being completed.
offered() {
    COMP_WORDS=(trawlix-scan "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_LINE=${COMP_LINE// = /=}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    local previous=${COMP_WORDS[COMP_CWORD - 1]}
    _trawlix_scan trawlix-scan "${COMP_WORDS[COMP_CWORD]}" "$previous"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {
    local want=$1
    shift
    local got
    got=$(offered "$@")
    if [ "$got" != "$want" ]; then
        echo "FAIL [trawlix-scan $*]: offered '$got', expected '$want'"
        failed=1
    fi
}

complete -p trawlix-scan | grep -q -- '-F _trawlix_scan' || { echo "FAIL: not registered for trawlix-scan"; failed=1; }

all=$(offered --)
for option in $("$scan" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    case " $all " in
        *" $option "*) ;;
        *) echo "FAIL: $option of --help is not offered after --"; failed=1 ;;
    esac
done
expect "--first --flash-tool --format" --f
expect "csv json prometheus table" --format ""
expect "prometheus" --format p
expect "csv" --format = c
expect "en" --lang = e
expect "de en" --lang ""
expect "inventory.json password.txt tools" --compare ""
expect "password.txt" --password-file pa
expect "inventory.json password.txt tools" --networks-file ""
expect "inventory.json" --output in
expect "" --exclude ""
expect "" --vendor-cache-hours ""
expect "tools" --flash-tool ""
expect "--first --flash-tool --format" --flash-tool --f
expect "" --jobs ""
expect "" --user ""
expect "" 192.168.1.
exit $failed
