# The whole test suite under a checker:
#   make asan      AddressSanitizer + UndefinedBehaviorSanitizer (clang), build/asan
#   make tsan      ThreadSanitizer (clang), build/tsan
#   make valgrind  every test program of build/default under valgrind memcheck,
#                  leaks included
# Any report fails the run. The export check is left to the plain build.
.PHONY: asan tsan valgrind

asan tsan: deps
	@scripts/deps.sh fuzz
	@cmake --preset $@ >/dev/null
	@cmake --build --preset $@
	@ctest --preset $@

valgrind: deps
	@scripts/deps.sh fuzz
	@cmake --preset default >/dev/null
	@cmake --build --preset default
	@ctest --preset valgrind
