#!/bin/sh
# Runs libFuzzer targets of the fuzz build for SECONDS each, one after another,
# with the format dictionary, starting from the target's working corpus
# (build/fuzz/corpus/TARGET, where new inputs are kept), its generated seeds
# and its kept regressions. A finding (crash, broken invariant, leak, timeout)
# is saved in build/fuzz/findings/ and fails the run; copy it into
# fuzz/regressions/TARGET/ once fixed. Prints the executions of each target.
# Usage: scripts/fuzz.sh SECONDS TARGET...
set -eu
seconds=$1
shift
bin=build/fuzz/fuzz
out=build/fuzz/findings
mkdir -p "$out"
status=0
total=0
for target in "$@"; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    set -- "$corpus" "$bin/seeds/$target"
    [ -d "fuzz/regressions/$target" ] && set -- "$@" "fuzz/regressions/$target"
    log=$out/$target.log
    if "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -dict=fuzz/format.dict -print_final_stats=1 \
        -artifact_prefix="$out/$target-" "$@" >"$log" 2>&1; then
        result=ok
    else
        result=FINDING
        status=1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    total=$((total + ${execs:-0}))
    printf '%-18s %-7s %12s execs in %ss, %s, corpus %s\n' "$target" "$result" "${execs:-?}" "$seconds" \
        "${cov:-cov: ?}" "$(ls "$corpus" | wc -l)"
    if [ $result != ok ]; then
        grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$log" | head -n 20 | sed 's/^/    /'
    fi
done
echo "fuzz: $total executions in all"
exit $status
