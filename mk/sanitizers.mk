# The whole test suite under a checker, each in a build directory of its own:
#   make asan      AddressSanitizer + UndefinedBehaviorSanitizer (clang)
#   make tsan      ThreadSanitizer (clang)
#   make valgrind  every test program under valgrind memcheck, leaks included
# Any report fails the run. The export check is left to the plain build.
.PHONY: asan tsan valgrind

asan tsan valgrind: deps
	@scripts/deps.sh fuzz
	@cmake --preset $@ >/dev/null
	@cmake --build --preset $@
	@ctest --preset $@
