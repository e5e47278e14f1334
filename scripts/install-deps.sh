#!/bin/sh
# Installs what a task needs on Debian or Ubuntu, by name:
#   install-deps.sh demo   the library and korvane-grab (with PNG output)
#   install-deps.sh        the above, the test suite, benchmarks, pkg-config,
#                          and what the host tools and their tests use:
#                          GStreamer (plugin, recipes, RTSP server), the
#                          browser viewer (HTTP server, JPEG, headless
#                          Chromium + Selenium) and Python with NumPy
#   install-deps.sh fuzz   the above and clang with its sanitizer runtime
# Without root it uses sudo; where there is no sudo it says what to run.
set -eu
DEMO="build-essential cmake ccache libpng-dev"
GSTREAMER="libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
    gstreamer1.0-libav libgstrtspserver-1.0-dev"
VIEW="libcpp-httplib-dev libturbojpeg0-dev chromium chromium-driver python3-selenium"
PYTHON="python3 python3-numpy python3-pytest python3-setuptools python3-pip"
TEST="$DEMO libgtest-dev libgmock-dev libbenchmark-dev pkg-config $GSTREAMER $VIEW $PYTHON"
case "${1:-test}" in
    demo) PACKAGES="$DEMO" ;;
    test) PACKAGES="$TEST" ;;
    fuzz) PACKAGES="$TEST clang libclang-rt-14-dev" ;;
    *)
        echo "usage: install-deps.sh [demo|test|fuzz]" >&2
        exit 2
        ;;
esac
missing=""
for p in $PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -z "$missing" ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-deps: these packages are missing:$missing" >&2
        echo "install-deps: this user is not root and there is no sudo; as root, run" >&2
        echo "  apt-get update && apt-get install -y$missing" >&2
        echo "and start this script again." >&2
        exit 1
    fi
    SUDO="sudo"
fi
echo "Installing:$missing"
# Another apt (an unattended upgrade on a fresh machine) may hold the lock:
# wait for it instead of giving up at once.
LOCK_WAIT="-o DPkg::Lock::Timeout=600"
# shellcheck disable=SC2086 # the option and the names are meant to split
$SUDO apt-get $LOCK_WAIT update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get $LOCK_WAIT install -y -qq $missing
