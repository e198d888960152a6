// Google Benchmark suite: every operation of every standard workload beside its
// two floors, then the scaling runs (a PortList of 1 to 4096 ports, a FileTrans
// whose two strings hold 1 byte to 64 KB each). Byte counters give the encoded
// bytes handled per second; the scaling runs also report the time per port or
// per string byte and a linear fit of the total time (the _BigO line).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "workloads.h"

namespace {

using smd_bench::Op;
using smd_bench::Workload;

void RunOp(benchmark::State &state, Workload &w, Op op) {
    const smd_bench::OpFn fn = smd_bench::OpFunction(w, op);
    for (auto _ : state) fn(w);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * smd_bench::OpBytes(w, op)));
    state.counters["encoded_bytes"] = static_cast<double>(w.encoded.size());
    if (op == Op::kSendBatch) state.counters["records"] = w.batchCount;
}

// One scaling point: `units` ports or string bytes, with the time per unit.
template <class Make>
void RunScaling(benchmark::State &state, Make make, Op op, const char *unit, uint32_t unitsPerArg) {
    const auto arg = static_cast<uint32_t>(state.range(0));
    auto w = make(arg);
    RunOp(state, *w, op);
    const double units = static_cast<double>(arg) * unitsPerArg;
    state.SetComplexityN(static_cast<int64_t>(units));
    state.counters[unit] =
        benchmark::Counter(units, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// With --benchmark_repetitions, the fastest repetition beside the mean and
// median: on a shared machine the least disturbed run.
double Fastest(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char **argv) {
    static const auto workloads = smd_bench::StandardWorkloads();
    for (const auto &w : workloads) {
        for (Op op : smd_bench::kAllOps) {
            benchmark::RegisterBenchmark((w->name + "/" + smd_bench::OpName(op)).c_str(), [&w = *w, op](
                                                                                              benchmark::State &state) {
                RunOp(state, w, op);
            })->ComputeStatistics("min", Fastest);
        }
    }
    for (Op op : {Op::kPack, Op::kUnpackFree, Op::kCopyFloor, Op::kAllocFloor}) {
        benchmark::RegisterBenchmark(
            (std::string("Scaling/PortList/") + smd_bench::OpName(op)).c_str(),
            [op](benchmark::State &state) { RunScaling(state, smd_bench::PortListOf, op, "per_port", 1); })
            ->ComputeStatistics("min", Fastest)
            ->RangeMultiplier(4)
            ->Range(1, 4096)
            ->Complexity(benchmark::oN);
        benchmark::RegisterBenchmark(
            (std::string("Scaling/FileTransBytes/") + smd_bench::OpName(op)).c_str(),
            [op](benchmark::State &state) { RunScaling(state, smd_bench::FileTransOf, op, "per_byte", 2); })
            ->ComputeStatistics("min", Fastest)
            ->RangeMultiplier(4)
            ->Range(1, 65536)
            ->Complexity(benchmark::oN);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
