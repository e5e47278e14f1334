#!/bin/sh
# Runs the commands README.md shows, as a newcomer would, from the repository
# root, and checks that they left what README says they leave.
#
# Every line of a ```sh block runs as written (one shell per block, so a
# command started with & keeps running for the lines after it). Commands that
# appear only inline (`./scripts/...`, `./build/...`) run here too. A command
# that another stage of .ci/run already runs word for word is not run twice;
# a command that is neither run here nor by .ci/run fails the check, so README
# cannot grow a command nobody tries.
#   scripts/check-readme.sh
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
README="$ROOT/README.md"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvane-readme-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
STAMP="$WORK/stamp"
touch "$STAMP"
failures=0

say() { echo "check-readme: $*"; }
fail() {
    say "FAILED: $*"
    failures=$((failures + 1))
}

# A command (placeholders like [seconds] dropped) that .ci/run runs itself.
# (POSIX sh has no local variables: this one is named for this function.)
run_by_ci() {
    ci_command=$(printf '%s' "$1" | sed 's/ *\[[^]]*\]//g')
    grep -v '^[[:space:]]*#' "$ROOT/.ci/run" | grep -qF -- "$ci_command"
}

# Files newer than the start of this check.
count_new() {
    [ -d "$1" ] || {
        echo 0
        return
    }
    find "$1" -maxdepth 1 -name "$2" -newer "$STAMP" | wc -l
}

# 1. The ```sh blocks, each into its own script.
awk -v dir="$WORK" '
    /^```sh[[:space:]]*$/ { n++; file = sprintf("%s/block%d.sh", dir, n); inblock = 1; next }
    /^```/ { inblock = 0; next }
    inblock { print > file }
' "$README"

for block in "$WORK"/block*.sh; do
    [ -e "$block" ] || continue
    script="$block.run"
    : >"$script"
    while IFS= read -r line; do
        command=$(printf '%s' "$line" | sed 's/[[:space:]]*#.*$//')
        if [ -z "$command" ]; then
            continue
        fi
        if run_by_ci "$command"; then
            say "left to its CI stage: $command"
            continue
        fi
        quoted=$(printf '%s' "+ $command" | sed "s/'/'\\\\''/g")
        printf "printf '%%s\\n' '%s'\n%s\n" "$quoted" "$command" >>"$script"
    done <"$block"
    [ -s "$script" ] || continue
    say "running $(basename "$block" .sh) of README"
    printf 'wait\n' >>"$script"
    if ! sh -eu "$script"; then
        fail "a command of $(basename "$block" .sh) failed:"
        cat "$block"
    fi
done

# 2. What those commands promise to leave behind.
if grep -q '^\./scripts/demo\.sh' "$README"; then
    frames=$(count_new korvane-data/frames '*.pgm')
    pngs=$(count_new korvane-data/frames '*.png')
    [ "$frames" -eq 10 ] || fail "demo.sh wrote $frames PGM frames to korvane-data/frames, README says 10"
    [ "$pngs" -eq 10 ] || fail "demo.sh wrote $pngs PNG frames to korvane-data/frames, README says 10"
    [ -f korvane-data/Korvane.ini ] || fail "demo.sh left no korvane-data/Korvane.ini"
fi
if grep -q 'korvane-share .*--save-every 10 --out /tmp/frames' "$README"; then
    saved=$(count_new /tmp/frames '*.pgm')
    [ "$saved" -eq 10 ] || fail "korvane-share saved $saved frames of 100 to /tmp/frames, every 10th makes 10"
fi
if grep -q 'cmake --install build --prefix /opt/korvane' "$README"; then
    for f in lib/libKorvane.so lib/libKorvaneShare.so include/korvane/korvane.h include/korvane/korvane_share.h \
        bin/korvane-grab bin/korvane-share bin/korvane-lut lib/pkgconfig/korvane.pc; do
        [ -e "/opt/korvane/$f" ] || fail "the install has no $f"
    done
fi

# 3. Commands README names inline.
inline=$(grep -o '`\./[^`]*`' "$README" | tr -d '`' | sort -u)
old_ifs=$IFS
IFS='
'
for command in $inline; do
    IFS=$old_ifs
    if grep -qxF -- "$command" "$WORK"/block*.sh 2>/dev/null || run_by_ci "$command"; then
        continue
    fi
    case "$command" in
        *" --help")
            say "running $command"
            if ! sh -c "$command" | grep -q '[Uu]sage'; then
                fail "$command printed no usage"
            fi
            ;;
        ./build/bench/korvane_bench)
            say "running $command (every benchmark, short)"
            if ! out=$("$command" --benchmark_min_time=0.01 2>&1); then
                fail "$command failed: $out"
            elif ! printf '%s\n' "$out" | grep -q 'x_memcpy='; then
                fail "$command printed no ratios against memcpy"
            fi
            ;;
        *)
            fail "README shows '$command' but neither this check nor .ci/run runs it"
            ;;
    esac
done
IFS=$old_ifs

if [ "$failures" -ne 0 ]; then
    say "$failures problem(s)"
    exit 1
fi
say "every README command ran as written"
