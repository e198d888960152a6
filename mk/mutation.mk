# Mutation testing of the library sources (src/) against the test suite of
# the default preset (build/default); scripts/mutation.py has the details.
#   make mutation                        every mutant, then the score
#   make mutation MUTATION_FILES=src/runtime/wire.h MUTATION_SAMPLE=10 MUTATION_SEED=2
#   make mutation MUTATION_FILES='platform/vorn_host/*.c'   the host framework and its OS layer
#   make mutation MUTATION_LIST=1        the mutants with their ids, and the count per file
#   make mutation MUTATION_KILLS=1       what each core test kills, alone and in all (recorded results)
#   make mutation MUTATION_ID=490d2da54b one mutant again (a survivor, say)
#   make mutation MUTATION_STRICT=1      fails on a survivor missing from tests/equivalent_mutants.txt
#   make mutation MUTATION_PRESET=tsan   the mutants of tests/tsan_mutants.txt under ThreadSanitizer
#   make mutation MUTATION_PRESET=asan MUTATION_FILES='platform/vorn_host/*.c'   those of tests/asan_mutants.txt
#   make mutation MUTATION_PRESET=cross-s390x   those of tests/s390x_mutants.txt, on a big-endian host (qemu)
#   make mutation MUTATION_RESUME=1      goes on from the results an interrupted run recorded
#                                        (or =FILE: from a copy of them)
# The sources are edited in place one mutant at a time: leave the tree alone
# while it runs.
.PHONY: mutation

mutation: deps
	@case '$(MUTATION_PRESET)' in cross-*) scripts/deps.sh build cross ;; tsan|asan) scripts/deps.sh fuzz ;; esac
	@MUTATION_FILES='$(MUTATION_FILES)' MUTATION_SAMPLE='$(MUTATION_SAMPLE)' MUTATION_SEED='$(MUTATION_SEED)' \
		MUTATION_LIST='$(MUTATION_LIST)' MUTATION_ID='$(MUTATION_ID)' MUTATION_STRICT='$(MUTATION_STRICT)' \
		MUTATION_RESUME='$(MUTATION_RESUME)' MUTATION_PRESET='$(MUTATION_PRESET)' MUTATION_KILLS='$(MUTATION_KILLS)' \
		python3 scripts/mutation.py
