#!/bin/sh
# Installs a build into a scratch prefix, builds the examples out of tree
# against it twice, with find_package(Korvane) and with the flags of the
# installed pkg-config files, and runs both builds: the C host grabs a frame
# and checks the ramp; the C receiver reads frames that the installed
# korvane-grab shares. Any step failing fails the check.
# Usage: check-install.sh BUILD_DIR
set -eu
BUILD_DIR="$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/korvane-install-XXXXXX")"
trap 'kill "$GRAB_PID" 2>/dev/null || true; rm -rf "$WORK"' EXIT
GRAB_PID=""

cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >/dev/null
cmake -S "$SRC/examples" -B "$WORK/examples" -DCMAKE_PREFIX_PATH="$WORK/prefix" >/dev/null
cmake --build "$WORK/examples" >/dev/null

# The same examples with nothing but the installed pkg-config files' flags,
# as a Makefile-based host builds.
command -v pkg-config >/dev/null || { echo "check-install: pkg-config is needed" >&2; exit 1; }
PC_FILE="$(find "$WORK/prefix" -name korvane.pc | head -n 1)"
[ -n "$PC_FILE" ] || { echo "check-install: no korvane.pc installed" >&2; exit 1; }
export PKG_CONFIG_PATH="$(dirname "$PC_FILE")"
mkdir -p "$WORK/pc"
for pair in korvane:host korvane-share:share_receiver; do
    pc="${pair%%:*}"
    example="${pair#*:}"
    libdir="$(pkg-config --variable=libdir "$pc")"
    [ -d "$libdir" ] || { echo "check-install: $pc.pc names libdir $libdir, which does not exist" >&2; exit 1; }
    # shellcheck disable=SC2046 # the flags are meant to split
    ${CC:-cc} -std=gnu11 -Wall -Werror -o "$WORK/pc/$example" "$SRC/examples/$example.c" \
        $(pkg-config --cflags "$pc") $(pkg-config --libs "$pc") -Wl,-rpath,"$libdir"
done

unset KORVANE_SIM_CONFIG KORVANE_MIL
for host in "$WORK/examples/korvane_example_host" "$WORK/pc/host"; do
    rm -rf "$WORK/host"
    mkdir -p "$WORK/host"
    "$host" "$WORK/host"
done

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
"$WORK/pc/share_receiver" "$NAME" 5
echo "install check passed"
