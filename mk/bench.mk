# Benchmarks, in their own Release build (build/bench) so that `make test` stays fast.
#   make bench        Google Benchmark suite; JSON in build/bench/bench.json, plot in build/bench/scaling.png
#   make bench-insn   instructions per operation under callgrind (the figures to compare)
#   make bench-plot   redraws docs/scaling.png from build/bench/bench.json
# BENCH_ARGS passes options to the suite, e.g. BENCH_ARGS=--benchmark_filter=PortList
BENCH_DIR := build/bench
BENCH_JSON := $(BENCH_DIR)/bench.json
BENCH_ARGS ?=

.PHONY: bench bench-build bench-insn bench-plot

bench-build:
	@scripts/deps.sh build bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench

bench: bench-build
	$(BENCH_DIR)/bench/ssh_msg_def_bench --benchmark_out=$(BENCH_JSON) --benchmark_out_format=json $(BENCH_ARGS)
	@bench/plot.sh $(BENCH_JSON) $(BENCH_DIR)/scaling.png

bench-insn: bench-build
	@bench/callgrind.sh $(BENCH_DIR)/bench/insn_driver

bench-plot:
	@bench/plot.sh $(BENCH_JSON) docs/scaling.png
