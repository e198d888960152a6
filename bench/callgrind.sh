#!/bin/sh
# Instructions per operation, counted by callgrind: exact and repeatable where
# timings on a shared machine are not. Each figure is the difference of two runs
# of insn_driver that differ only in the iteration count (N and 2N), divided by
# N, so start-up, workload construction and first-use work cancel out.
#
# Usage: bench/callgrind.sh [INSN_DRIVER]   (default build/bench/bench/insn_driver)
#   ITER=N        iterations of the shorter run (default 100)
#   SECTIONS=...  any of "standard scaling" (default both)
set -eu
driver=${1:-build/bench/bench/insn_driver}
iter=${ITER:-100}
sections=${SECTIONS:-standard scaling}
[ -x "$driver" ] || { echo "callgrind.sh: $driver not built (make bench-build)" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is not installed" >&2; exit 1; }

# Instructions executed by one run of the driver.
count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$driver" "$1" "$2" "$3" 2>&1 >/dev/null |
        sed -n 's/^==[0-9]*== Collected : \([0-9]*\)$/\1/p'
}

# Instructions of one operation: (count(2N) - count(N)) / N, one decimal.
per_op() {
    a=$(count "$1" "$2" "$iter")
    b=$(count "$1" "$2" $((2 * iter)))
    awk -v a="$a" -v b="$b" -v n="$iter" 'BEGIN { printf "%.1f", (b - a) / n }'
}

# The encoded size and batch count that the driver reports for a workload.
info() { "$driver" "$1" floor:copy 0 2>/dev/null || true; }

ratio() { awk -v x="$1" -v y="$2" 'BEGIN { if (y > 0) printf "%.2f", x / y; else printf "-" }'; }

if echo "$sections" | grep -qw standard; then
    workloads=$("$driver" --list)
    # The first column as wide as the longest workload name.
    wide=$(echo "$workloads" | awk '{ if (length > w) w = length } END { print (w > 8 ? w : 8) }')
    echo "Instructions per operation (callgrind, $iter and $((2 * iter)) iterations subtracted)"
    printf "%-${wide}s %6s %9s %12s %11s %9s %11s %12s %10s %13s\n" workload bytes pack unpack+free sendsingle \
        batch/rec floor:copy floor:alloc pack/copy unpack/alloc
    fewer=""
    for w in $workloads; do
        eval "$(info "$w")"
        if [ "$batch_count" -lt 64 ]; then fewer="$fewer; $w $batch_count"; fi
        pack=$(per_op "$w" pack)
        unpack=$(per_op "$w" unpack+free)
        single=$(per_op "$w" sendsingle)
        batch=$(per_op "$w" sendbatch)
        copy=$(per_op "$w" floor:copy)
        alloc=$(per_op "$w" floor:alloc)
        printf "%-${wide}s %6s %9s %12s %11s %9s %11s %12s %10s %13s\n" "$w" "$bytes" "$pack" "$unpack" "$single" \
            "$(awk -v x="$batch" -v n="$batch_count" 'BEGIN { printf "%.1f", x / n }')" "$copy" "$alloc" \
            "$(ratio "$pack" "$copy")" "$(ratio "$unpack" "$alloc")"
    done
    echo "(batch/rec: one batch of batch_count records, divided by batch_count; 64 records, fewer when 64"
    fewer=${fewer#; }
    echo " encodings exceed the 65536-byte batch area: ${fewer:-none})"
fi

# Cost of each further unit, counted from the smallest record of the kind:
# (I(n) - I(1)) / (units(n) - units(1)). The same figure for growing n means
# a linear total cost; fixed costs (one list, one string copy) drop out.
scaling() {
    kind=$1 unit=$2 per=$3
    shift 3
    printf '%-14s %-20s' "$kind" "per $unit"
    for n in "$@"; do printf ' %10s' "n=$n"; done
    echo
    for op in pack unpack+free floor:copy floor:alloc; do
        base=$(per_op "$kind:1" "$op")
        printf '%-14s %-20s' "" "$op"
        for n in "$@"; do
            printf ' %10s' "$(awk -v x="$(per_op "$kind:$n" "$op")" -v b="$base" -v u=$(((n - 1) * per)) \
                'BEGIN { printf "%.2f", (x - b) / u }')"
        done
        echo
    done
}

if echo "$sections" | grep -qw scaling; then
    echo
    echo "Scaling: instructions per further unit, (I(n) - I(1)) / (units(n) - units(1))"
    scaling PortList port 1 16 256 4096
    scaling FileTransBytes "string byte" 2 64 1024 65536
    echo "(FileTransBytes:n carries two strings of n bytes each: 2n string bytes)"
fi
