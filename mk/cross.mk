# Cross builds: the library and the whole test suite for 64-bit Arm and for a
# big-endian host (s390x), each test program run under qemu-user. Installs the
# cross compilers, qemu-user and the GoogleTest sources first when run as root.
# Prints each target's test count.
CROSS_PRESETS := cross-aarch64 cross-s390x

.PHONY: cross-test

cross-test:
	@scripts/deps.sh build cross
	@set -e; for p in $(CROSS_PRESETS); do \
	    echo "== $$p"; \
	    cmake --preset $$p >/dev/null; \
	    cmake --build --preset $$p; \
	    log=build/$$p/ctest.log; \
	    if ! ctest --preset $$p >$$log 2>&1; then \
	        grep -vE '^ +Start |  Passed ' $$log; exit 1; \
	    fi; \
	    grep -h 'tests passed' $$log | sed "s/^/$$p: /"; \
	done
