// Runs one operation of one workload a fixed number of times, for counting
// instructions under callgrind (see callgrind.sh). The workload is built and
// the operation run once before the counted loop, so that first-use work (hook
// binding, lazy symbol binding, the allocator's first blocks) is the same in
// every run and cancels out when two runs with different counts are subtracted.
// Prints the workload's encoded size and batch count.
//
// Usage: insn_driver WORKLOAD OPERATION ITERATIONS
//   WORKLOAD: a standard workload, PortList:N or FileTransBytes:N
//   OPERATION: pack, unpack+free, sendsingle, sendbatch, floor:copy, floor:alloc
//        insn_driver --list   (the standard workloads' names, one a line, in report order)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "workloads.h"

namespace {

[[gnu::noinline]] void Loop(smd_bench::OpFn fn, smd_bench::Workload &w, long n) {
    for (long i = 0; i < n; ++i) fn(w);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        for (const auto &w : smd_bench::StandardWorkloads()) puts(w->name.c_str());
        return 0;
    }
    smd_bench::Op op;
    if (argc != 4 || !smd_bench::OpByName(argv[2], &op)) {
        fprintf(stderr, "usage: %s WORKLOAD OPERATION ITERATIONS\n       %s --list\n", argv[0], argv[0]);
        return 2;
    }
    auto w = smd_bench::WorkloadByName(argv[1]);
    if (w == nullptr) {
        fprintf(stderr, "%s: unknown workload %s\n", argv[0], argv[1]);
        return 2;
    }
    if (op == smd_bench::Op::kSendBatch && w->batchCount == 0) {
        fprintf(stderr, "%s: %s has no batch\n", argv[0], argv[1]);
        return 2;
    }
    // What the figures are relative to, as shell assignments for callgrind.sh.
    printf("bytes=%zu batch_count=%u\n", w->encoded.size(), w->batchCount);
    const smd_bench::OpFn fn = smd_bench::OpFunction(*w, op);
    fn(*w);
    Loop(fn, *w, strtol(argv[3], nullptr, 10));
    return 0;
}
