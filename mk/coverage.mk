# Line and branch coverage of src/ by the whole test suite (gcc --coverage -O0):
# `make coverage` runs the tests afresh, prints the figures per file and in all,
# and fails below 100% of lines or 95% of branches. The branches left over
# cannot be taken on this host or by any caller: a big-endian host, a binding
# finished by another thread while this one waited for the lock, a log writer
# bound before the first binding, an encoding over 4 GiB, a nested table slot
# left out by the writer, and argument and length checks whose callers have
# already refused such values. build/coverage/html/index.html shows them.
.PHONY: coverage

coverage: deps
	@scripts/deps.sh coverage
	@cmake --preset coverage >/dev/null
	@cmake --build --preset coverage
	@find build/coverage -name '*.gcda' -delete
	@ctest --preset coverage >/dev/null || ctest --preset coverage --rerun-failed
	@mkdir -p build/coverage/html
	@gcovr --root . --object-directory build/coverage --filter 'src/' --exclude-throw-branches \
		--exclude-unreachable-branches --html-details build/coverage/html/index.html --txt - --print-summary \
		--fail-under-line 100 --fail-under-branch 95
