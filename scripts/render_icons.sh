#!/usr/bin/env bash
# Renders every icon in resources/icons to PNG files at 16, 32 and 48 pixels.
#
#   scripts/render_icons.sh OUTDIR [SHEET.png]
#
# Writes OUTDIR/<icon>-<size>.png. Uses rsvg-convert when it is installed; otherwise it builds
# the small Qt helper in tools/render_icons (Qt 6 Gui and Svg; build folder: $RENDER_ICONS_BUILD,
# default build-h4) and renders with Qt's own SVG renderer, the one the program uses. With the
# Qt helper a second argument also writes a contact sheet (the repository keeps one in
# docs/icons-sheet.png).
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 OUTDIR [SHEET.png]" >&2
    exit 2
fi
out=$1
sheet=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
icons=("$root"/resources/icons/*.svg)
sizes=(16 32 48)
mkdir -p "$out"

if [ -z "$sheet" ] && command -v rsvg-convert >/dev/null 2>&1; then
    for svg in "${icons[@]}"; do
        name=$(basename "$svg" .svg)
        for size in "${sizes[@]}"; do
            rsvg-convert -w "$size" -h "$size" -o "$out/$name-$size.png" "$svg"
        done
    done
    echo "rendered ${#icons[@]} icons with rsvg-convert into $out"
    exit 0
fi

build=${RENDER_ICONS_BUILD:-$root/build-h4}
if [ ! -x "$build/render_icons" ] || [ "$root/tools/render_icons/main.cpp" -nt "$build/render_icons" ]; then
    cmake -S "$root/tools/render_icons" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j1 >/dev/null
fi
args=(--sizes "$(IFS=,; echo "${sizes[*]}")")
if [ -n "$sheet" ]; then
    args+=(--sheet "$sheet")
fi
"$build/render_icons" "${args[@]}" "$out" "${icons[@]}"
echo "rendered ${#icons[@]} icons with the Qt helper into $out${sheet:+ (sheet: $sheet)}"
