#!/bin/sh
# Runs libFuzzer targets of the fuzz build for SECONDS each, JOBS at a time
# (FUZZ_JOBS, default 1), with the target's dictionary (fuzz/TARGET.dict, else
# the format dictionary) and inputs of at most 4096 bytes (longer seeds are
# cut), starting from the target's working corpus (build/fuzz/corpus/TARGET,
# where new inputs are kept), its seeds and its kept regressions. A finding
# (crash, broken invariant, leak, timeout) is saved in build/fuzz/findings/ and
# fails the run; copy it into fuzz/regressions/TARGET/ once fixed. Prints the
# executions of each target and in all.
# Usage: [FUZZ_JOBS=N] scripts/fuzz.sh SECONDS [TARGET...] (no target: every one of the build)
set -eu
bin=build/fuzz/fuzz
out=build/fuzz/findings

if [ "$1" = --one ]; then  # one target, run by xargs below
    seconds=$2 target=$3
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    set -- "$corpus" "$bin/seeds/$target"
    [ -d "fuzz/regressions/$target" ] && set -- "$@" "fuzz/regressions/$target"
    dict=fuzz/$target.dict
    [ -f "$dict" ] || dict=fuzz/format.dict
    if "$bin/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -dict="$dict" -print_final_stats=1 \
        -artifact_prefix="$out/$target-" "$@" >"$out/$target.log" 2>&1; then
        echo ok >"$out/$target.result"
    else
        echo FINDING >"$out/$target.result"
    fi
    exit 0
fi

seconds=$1
shift
if [ $# -eq 0 ]; then
    # The targets of this build: each has its seeds, written afresh by every
    # build (a program left over from an older build has none).
    for seeds in "$bin"/seeds/*/; do
        target=$(basename "$seeds")
        [ -x "$bin/fuzz_$target" ] && set -- "$@" "$target"
    done
    [ $# -gt 0 ] || { echo "no fuzz targets in $bin"; exit 1; }
fi
mkdir -p "$out"
for target in "$@"; do rm -f "$out/$target.result"; done
printf '%s\n' "$@" | xargs -P "${FUZZ_JOBS:-1}" -I{} "$0" --one "$seconds" {}
status=0
total=0
for target in "$@"; do
    log=$out/$target.log
    result=$(cat "$out/$target.result" 2>/dev/null || echo FAILED)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    total=$((total + ${execs:-0}))
    printf '%-18s %-7s %12s execs in %ss, %s, corpus %s\n' "$target" "$result" "${execs:-?}" "$seconds" \
        "${cov:-cov: ?}" "$(ls "build/fuzz/corpus/$target" | wc -l)"
    if [ "$result" != ok ]; then
        status=1
        grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$log" | head -n 20 | sed 's/^/    /'
    fi
done
echo "fuzz: $total executions in all"
exit $status
