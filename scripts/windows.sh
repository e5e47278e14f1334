#!/bin/sh
# Windows build of Korvane on a Debian host: installs the MinGW-w64 cross
# compilers and Wine, cross-builds x86_64 (build-win64/) and i686
# (build-win32/), checks the DLLs' export tables and runs the x86_64 test
# suite under Wine through CTest.
#   scripts/windows.sh [--no-install] [--no-i686] [ctest arguments...]
# Without a display the tests run under xvfb-run: the GUI tests need one, and
# a message box shown by mistake then waits for CTest's time-out instead of
# failing to open.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
INSTALL=1
I686=1
WINE_ONLY=0
while [ $# -gt 0 ]; do
    case "$1" in
        --no-install) INSTALL=0 ;;
        --no-i686) I686=0 ;;
        --wine-only) WINE_ONLY=1 ;;  # internal: the test part, under xvfb-run
        *) break ;;
    esac
    shift
done
JOBS=${JOBS:-2}
START=$(date +%s)
step() { echo "== $* ($(($(date +%s) - START)) s)"; }

if [ "$INSTALL" = 1 ] && [ "$WINE_ONLY" = 0 ]; then
    step "installing the cross compilers and Wine"
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    # wine32 stays out: with it Debian's wrapper picks the 32-bit loader,
    # which cannot run on every kernel.
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 \
        binutils-mingw-w64-i686 wine64 xvfb cmake googletest >/dev/null
fi

# build DIR TOOLCHAIN [TARGET]: everything, or only TARGET.
build() {
    dir=$1
    toolchain=$2
    target=${3:-all}
    step "configuring $dir"
    cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_BENCH=OFF >/dev/null
    step "building $target in $dir"
    cmake --build "$ROOT/$dir" -j "$JOBS" --target "$target"
}

check_exports() {
    objdump=$1
    dll=$2
    step "export table of $dll"
    cmake -DOBJDUMP="$objdump" -DDLL="$dll" -DDEF="$ROOT/driver/Korvane.def" \
        -P "$ROOT/cmake/toolchains/CheckDllExports.cmake"
    echo "imports: $($objdump -p "$dll" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')"
}

if [ "$WINE_ONLY" = 0 ]; then
build build-win64 mingw-x86_64.cmake
check_exports x86_64-w64-mingw32-objdump "$ROOT/build-win64/driver/Korvane.dll"
if [ "$I686" = 1 ]; then
    # The 32-bit build is checked for building and its exports only: 32-bit
    # Windows code does not run on every host (wine32 stays out), so only
    # the DLL is built.
    build build-win32 mingw-i686.cmake Korvane
    check_exports i686-w64-mingw32-objdump "$ROOT/build-win32/driver/Korvane.dll"
fi
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    step "running the rest under xvfb-run"
    status=0
    xvfb-run -a "$ROOT/scripts/windows.sh" --wine-only "$@" || status=$?
    step "done (status $status)"
    exit $status
fi
fi

step "preparing a Wine prefix"
WINEPREFIX=$(mktemp -d /tmp/korvane-wine.XXXXXX)
export WINEPREFIX
export WINEDEBUG=-all
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
cleanup() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# A persistent server and the prefix set up with all output detached: Wine's
# background processes would otherwise hold a test's output pipe open and
# CTest would wait for ever.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
# Wine hands a crashed program to its debugger, which ends it with exit code
# 0: a test that crashed would pass. With no debugger to start, the crash
# ends the program with a failing code, as on Windows.
/usr/lib/wine/wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /d 'korvane-no-debugger.exe %ld %ld' /f </dev/null >/dev/null 2>&1

step "running the x86_64 tests under Wine"
status=0
(cd "$ROOT/build-win64" && ctest --output-on-failure -j "$JOBS" --timeout 120 "$@") || status=$?
step "done (ctest status $status)"
exit $status
