#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) in
# build-fuzz/ and runs each for the given number of seconds (default 60),
# starting from its seed corpus in tests/fuzz/corpus/<target>/. New inputs go
# to build-fuzz/corpus/<target>/; crashes to build-fuzz/artifacts/.
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-60}"
BUILD_DIR=build-fuzz
TARGETS="fuzz_ini_profile:ini_profile fuzz_lut_csv:lut_csv fuzz_command:command fuzz_properties:properties fuzz_share_server:share_server"

cmake -S . -B "$BUILD_DIR" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKORVANE_BUILD_FUZZ=ON -DKORVANE_SANITIZE=address -DKORVANE_BUILD_BENCH=OFF >/dev/null
names=""
for t in $TARGETS; do names="$names ${t%%:*}"; done
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $names -j "$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$BUILD_DIR/artifacts"
status=0
for t in $TARGETS; do
    target="${t%%:*}"
    corpus="${t#*:}"
    work="$BUILD_DIR/corpus/$corpus"
    mkdir -p "$work"
    echo "== $target for ${SECONDS_EACH}s"
    start=$(date +%s)
    if ! "$BUILD_DIR/tests/fuzz/$target" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
        -artifact_prefix="$BUILD_DIR/artifacts/$target-" "$work" "tests/fuzz/corpus/$corpus" \
        2>"$BUILD_DIR/$target.log"; then
        echo "!! $target found a fault: see $BUILD_DIR/$target.log and $BUILD_DIR/artifacts/"
        status=1
    fi
    end=$(date +%s)
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD_DIR/$target.log" | grep -o '[0-9]*$' || echo "?")
    echo "   $((end - start))s, $runs executions"
done
exit $status
