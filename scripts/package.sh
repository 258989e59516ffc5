#!/bin/sh
# Builds the Debian package and checks it the way Debian would:
#
#   scripts/package.sh [BUILD-FOLDER]        (default build/pkg)
#
# An optimised build with Debian's hardening flags (fortify, stack protector, relro, bindnow;
# PIE is the compiler's default), the package from cpack with stripped programs, then lintian
# (any error or warning fails; info and pedantic notes are shown), desktop-file-validate on the
# desktop entry and appstreamcli on the metainfo, both as the package installs them, and a look
# at the icons and manual pages it holds. Prints the package's path last.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OUT=${1:-$ROOT/build/pkg}
JOBS=${JOBS:-$(nproc)}

# Debian's flags for a package build; debugging information is of no use in a stripped package
# and costs build time.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
CFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
    -DTRAWLIX_PACKAGE=ON -DTRAWLIX_BUILD_TESTS=OFF -DTRAWLIX_WERROR=ON >/dev/null
cmake --build "$OUT" -j "$JOBS"
rm -f "$OUT"/trawlix_*.deb
(cd "$OUT" && cpack -G DEB >/dev/null)
deb=$(ls "$OUT"/trawlix_*.deb)

failed=0
fail() {
    echo "package check: $*" >&2
    failed=1
}

echo "== lintian"
# Our own package, so root may unpack it; lintian's note about that is left out.
status=0
report=$(lintian --fail-on error,warning --display-info --pedantic "$deb" 2>&1) || status=$?
printf '%s\n' "$report" | grep -v '^running with root privileges is not recommended!$' || true
[ "$status" -eq 0 ] || fail "lintian reports an error or a warning"

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"

echo "== desktop-file-validate"
desktop-file-validate "$contents"/usr/share/applications/*.desktop || fail "desktop-file-validate"
echo "== appstreamcli validate"
# The metainfo names its desktop entry, which the validator looks up beside it in the tree.
appstreamcli validate --no-net --explain "$contents"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"

echo "== icons and manual pages"
for size in 16 22 24 32 48 64 128 256; do
    icon=$contents/usr/share/icons/hicolor/${size}x$size/apps/trawlix.png
    file "$icon" 2>/dev/null | grep -q "PNG image data, $size x $size," || fail "no ${size}x$size PNG icon"
done
for program in trawlix trawlix-scan trawlix-sim; do
    [ -f "$contents/usr/share/man/man1/$program.1.gz" ] || fail "no manual page of $program"
done

[ "$failed" -eq 0 ] || exit 1
echo "$deb"
