#!/bin/sh
# Builds the suite in build-rel/ with the soak test registered and runs it
# for the given number of seconds (default 120): a shared camera grabbing
# continuously with a reconnecting client, a second camera grabbed on demand,
# properties changing; frames must stay whole, memory and descriptors flat.
set -eu
cd "$(dirname "$0")/.."
SOAK_SECONDS="${1:-120}"
BUILD_DIR="${KORVANE_SOAK_BUILD:-build-rel}"
./scripts/install-deps.sh
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_BENCH=OFF \
    -DKORVANE_SOAK=ON >/dev/null
cmake --build "$BUILD_DIR" --target Korvane korvane_soak_tests -j "$(nproc)"
cd "$BUILD_DIR"
status=0
KORVANE_SOAK_SECONDS="$SOAK_SECONDS" ctest -L soak --output-on-failure -V \
    --timeout $((SOAK_SECONDS + 300)) >soak.log 2>&1 || status=$?
grep -E 'soak:|Failure|error logged|\[ *(OK|FAILED) *\]' soak.log || true
tail -3 soak.log
exit $status
