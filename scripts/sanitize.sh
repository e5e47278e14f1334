#!/bin/sh
# Builds the suite with a sanitizer (address: ASan + UBSan, thread: TSan) in
# build-<kind>/ and runs it.
set -eu
cd "$(dirname "$0")/.."
KIND="${1:?usage: sanitize.sh address|thread}"
./scripts/install-deps.sh
./scripts/build.sh "build-$KIND" -DKORVANE_SANITIZE="$KIND" -DKORVANE_BUILD_BENCH=OFF
cd "build-$KIND"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
ctest --output-on-failure -j "$(nproc)" --timeout 600
