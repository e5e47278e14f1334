#!/bin/sh
# Installs a build into a scratch prefix, builds the examples out of tree
# against it with find_package(Korvane) and runs them: the C host grabs a
# frame and checks the ramp; the C receiver reads frames that the installed
# korvane-grab shares. Usage: check-install.sh BUILD_DIR
set -eu
BUILD_DIR="$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/korvane-install-XXXXXX")"
trap 'kill "$GRAB_PID" 2>/dev/null || true; rm -rf "$WORK"' EXIT
GRAB_PID=""

cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >/dev/null
cmake -S "$SRC/examples" -B "$WORK/examples" -DCMAKE_PREFIX_PATH="$WORK/prefix" >/dev/null
cmake --build "$WORK/examples" >/dev/null
pkg-config --exists korvane 2>/dev/null && PKG_CONFIG_PATH="$WORK/prefix/lib/pkgconfig" pkg-config --cflags --libs korvane

mkdir -p "$WORK/host"
unset KORVANE_SIM_CONFIG KORVANE_MIL
"$WORK/examples/korvane_example_host" "$WORK/host"

# A shared camera served by the installed tool, read by the example receiver.
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR" "$WORK/share"
chmod 700 "$XDG_RUNTIME_DIR"
NAME="example$$"
printf '[Camera 1]\nShareCamera=1\nShareName=%s\n' "$NAME" > "$WORK/share/Korvane.ini"
"$WORK/prefix/bin/korvane-grab" --quiet --system-path "$WORK/share" --continuous --seconds 20 >/dev/null 2>&1 &
GRAB_PID=$!
tries=0
until [ -S "$XDG_RUNTIME_DIR/korvane/pipe/$NAME" ] || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
"$WORK/examples/korvane_example_receiver" "$NAME" 5
echo "install check passed"
