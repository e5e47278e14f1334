#!/bin/sh
# Installs what building and testing Korvane needs on Debian or Ubuntu.
set -eu
PACKAGES="build-essential cmake ccache clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev pkg-config"
missing=""
for p in $PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -z "$missing" ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "Installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
