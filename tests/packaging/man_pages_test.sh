#!/bin/sh
# The manual page of each program is there, renders without a warning, and names every option
# that the program's --help names.
#   man_pages_test.sh PAGE-FOLDER PROGRAM...
set -u
pages=$1
shift
failed=0
for program in "$@"; do
    name=$(basename "$program")
    page=$pages/$name.1.gz
    if [ ! -f "$page" ]; then
        echo "FAIL $name: no manual page $page"
        failed=1
        continue
    fi
    # One long line per paragraph, plain ASCII: an option is never broken or hyphenated apart.
    text=$(MANWIDTH=5000 LC_ALL=C.UTF-8 man --warnings=all -E ascii -l "$page" 2>"$pages/$name.warnings" | col -b)
    if [ -s "$pages/$name.warnings" ]; then
        echo "FAIL $name: the page renders with warnings:"
        cat "$pages/$name.warnings"
        failed=1
    fi
    for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
        printf '%s\n' "$text" | grep -qx "$section" || { echo "FAIL $name: no $section section"; failed=1; }
    done
    options=$("$program" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
    [ -n "$options" ] || { echo "FAIL $name: --help names no option"; failed=1; }
    for option in $options; do
        printf '%s\n' "$text" | grep -qF -e "$option" || { echo "FAIL $name: $option is missing from the page"; failed=1; }
    done
    echo "$name: $(echo $options | wc -w) options of --help in the page"
done
exit $failed
