# libFuzzer campaigns (clang, AddressSanitizer + UndefinedBehaviorSanitizer):
#   make fuzz                        every target (one per message, one for
#                                    the sshmsg tool's readers) for
#                                    FUZZ_SECONDS each
#   make fuzz FUZZ_SECONDS=600 FUZZ_JOBS=2 FUZZ_TARGETS="PortList FileDir"
# Each target starts from its corpus in build/fuzz/corpus/ plus its seeds
# (generated from the test vectors, or for the tool's readers a few hex forms
# and the example records) and the kept regressions; a finding lands in
# build/fuzz/findings/ and fails the run.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_JOBS ?= 1

.PHONY: fuzz fuzz-build

fuzz-build: deps
	@scripts/deps.sh fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz

fuzz: fuzz-build
	@FUZZ_JOBS=$(FUZZ_JOBS) scripts/fuzz.sh $(FUZZ_SECONDS) $(FUZZ_TARGETS)
