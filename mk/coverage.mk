# Line and branch coverage of src/ by the whole test suite (gcc --coverage -O0):
# `make coverage` runs the tests afresh and prints the figures per file and in
# all; build/coverage/html/index.html has the annotated sources.
.PHONY: coverage

coverage: deps
	@scripts/deps.sh coverage
	@cmake --preset coverage >/dev/null
	@cmake --build --preset coverage
	@find build/coverage -name '*.gcda' -delete
	@ctest --preset coverage >/dev/null || ctest --preset coverage --rerun-failed
	@mkdir -p build/coverage/html
	@gcovr --root . --object-directory build/coverage --filter 'src/' --exclude-throw-branches \
		--exclude-unreachable-branches --html-details build/coverage/html/index.html --txt - --print-summary
