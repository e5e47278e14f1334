#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) in
# build-fuzz/ and runs each for the given number of seconds (default 60),
# starting from its seed corpus in tests/fuzz/corpus/<target>/. New inputs go
# to build-fuzz/corpus/<target>/; crashes to build-fuzz/artifacts/.
#
#   fuzz.sh [SECONDS] [TARGET=SECONDS ...]   e.g. fuzz.sh 60 properties=1800
#   fuzz.sh --merge                          minimise build-fuzz/corpus/* into
#                                            build-fuzz/merged/<target>/
# A TARGET is a corpus name (ini_profile, lut_csv, command, properties,
# share_server); 0 seconds skips it. Merged corpora can be copied into
# tests/fuzz/corpus/ to make a long run's finds the next run's start.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh fuzz
MERGE=0
SECONDS_EACH=60
OVERRIDES=""
for arg in "$@"; do
    case "$arg" in
        --merge) MERGE=1 ;;
        *=*) OVERRIDES="$OVERRIDES $arg" ;;
        *[!0-9]* | "")
            echo "usage: fuzz.sh [SECONDS] [TARGET=SECONDS ...] | --merge" >&2
            exit 2
            ;;
        *) SECONDS_EACH="$arg" ;;
    esac
done
BUILD_DIR=build-fuzz
TARGETS="fuzz_ini_profile:ini_profile fuzz_lut_csv:lut_csv fuzz_command:command fuzz_properties:properties fuzz_share_server:share_server"
for o in $OVERRIDES; do
    case " $TARGETS " in
        *":${o%%=*} "*) ;;
        *)
            echo "fuzz.sh: no target named '${o%%=*}'" >&2
            exit 2
            ;;
    esac
done

cmake -S . -B "$BUILD_DIR" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKORVANE_BUILD_FUZZ=ON -DKORVANE_SANITIZE=address -DKORVANE_BUILD_BENCH=OFF >/dev/null
names=""
for t in $TARGETS; do names="$names ${t%%:*}"; done
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $names -j "$(nproc)"

# The harnesses allocate a little per input, many times a second: a 16 MB
# quarantine (instead of 256 MB) still catches a use after free within one
# input and keeps freed memory in the cache, and not filling new blocks
# saves a memset per allocation. Together they about double the inputs per
# second; a crash found this way reruns with the defaults for its report.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=16:max_malloc_fill_size=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$BUILD_DIR/artifacts"
status=0
for t in $TARGETS; do
    target="${t%%:*}"
    corpus="${t#*:}"
    work="$BUILD_DIR/corpus/$corpus"
    mkdir -p "$work"
    if [ "$MERGE" = 1 ]; then
        merged="$BUILD_DIR/merged/$corpus"
        rm -rf "$merged"
        mkdir -p "$merged"
        echo "== $target: merging $work and tests/fuzz/corpus/$corpus"
        if ! "$BUILD_DIR/tests/fuzz/$target" -merge=1 "$merged" "tests/fuzz/corpus/$corpus" "$work" \
            2>"$BUILD_DIR/$target-merge.log"; then
            echo "!! $target: the merge failed, see $BUILD_DIR/$target-merge.log"
            status=1
        fi
        echo "   $(find "$merged" -type f | wc -l) inputs in $merged"
        continue
    fi
    seconds="$SECONDS_EACH"
    for o in $OVERRIDES; do
        [ "${o%%=*}" = "$corpus" ] && seconds="${o#*=}"
    done
    if [ "$seconds" -eq 0 ]; then
        continue
    fi
    echo "== $target for ${seconds}s"
    start=$(date +%s)
    if ! "$BUILD_DIR/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$BUILD_DIR/artifacts/$target-" "$work" "tests/fuzz/corpus/$corpus" \
        2>"$BUILD_DIR/$target.log"; then
        echo "!! $target found a fault: see $BUILD_DIR/$target.log and $BUILD_DIR/artifacts/"
        status=1
    fi
    end=$(date +%s)
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD_DIR/$target.log" | grep -o '[0-9]*$' || echo "?")
    elapsed=$((end - start))
    rate="?"
    if [ "$runs" != "?" ] && [ "$elapsed" -gt 0 ]; then
        rate=$((runs / elapsed))
    fi
    echo "   ${elapsed}s, $runs executions, $rate per second"
done
exit $status
