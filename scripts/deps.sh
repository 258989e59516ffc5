#!/bin/sh
# Installs what building, testing and the demo need on Debian 12 (run as root). GnuTLS is for the
# simulator and the tests only: it plays adapters without secure renegotiation.
set -eu
PACKAGES="cmake ninja-build g++ clang-14 libclang-rt-14-dev clang-format-14 pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev libcurl4-openssl-dev libjsoncpp-dev
  libcpp-httplib-dev libssl-dev libgnutls28-dev gnutls-bin openssl iproute2 util-linux procps xvfb xauth
  binutils-mingw-w64-x86-64 dpkg-dev file time bc fonts-dejavu-core xdg-utils
  systemd prometheus prometheus-node-exporter
  help2man librsvg2-bin man-db bsdextrautils bash-completion qt6-translations-l10n
  lintian desktop-file-utils appstream"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    # shellcheck disable=SC2086
    apt-get install -y --no-install-recommends $missing
fi
