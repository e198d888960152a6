# The C ABI of libssh_msg_def.so against every release (scripts/abi.py, with
# abidw and abidiff of abigail-tools), on a library built with debug info in a
# directory of its own (build/abi, RelWithDebInfo, source paths relative):
#   make abi-check         the checker's verdicts on small libraries made for
#                          the test (tests/compat/abi_test.py), then today's library
#                          against compat/*/abi.xml: a removed function, a
#                          changed signature or record layout fails unless the
#                          major version announces it; an added function is
#                          reported
#   make release-baseline  when releasing the version of CMakeLists.txt: writes
#                          compat/VERSION/ (the ABI baseline, the wire manifest
#                          and the byte vectors), which `make abi-check` and
#                          `make compat` check against from then on
ABI_DIR := build/abi
ABI_FLAGS := -ffile-prefix-map=$(CURDIR)/=

.PHONY: abi-build abi-check release-baseline

abi-build:
	@scripts/deps.sh build abi
	@cmake -S . -B $(ABI_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSSH_MSG_DEF_TOOLS=OFF \
		-DSSH_MSG_DEF_TESTS=OFF -DSSH_MSG_DEF_BENCH=OFF -DSSH_MSG_DEF_WERROR=ON -DCMAKE_C_FLAGS="$(ABI_FLAGS)" \
		-DCMAKE_CXX_FLAGS="$(ABI_FLAGS)" >/dev/null
	@cmake --build $(ABI_DIR) --target ssh_msg_def -j 2; status=$$?; $(GIVE_BACK); exit $$status

abi-check: abi-build
	@python3 tests/compat/abi_test.py
	@python3 scripts/abi.py check $(ABI_DIR)/libssh_msg_def.so compat

release-baseline: abi-build build
	@set -e; v=$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $(ABI_DIR)/CMakeCache.txt); dir=compat/$$v; \
	if [ -e $$dir ]; then echo "$$dir exists: raise the version in CMakeLists.txt first" >&2; exit 1; fi; \
	mkdir -p $$dir; python3 scripts/abi.py dump $(ABI_DIR)/libssh_msg_def.so $$dir/abi.xml; \
	build/$(PRESET)/tools/sshmsg/sshmsg list --wire >$$dir/wire.txt; cp tests/vectors.txt $$dir/; \
	echo "wrote $$dir: commit it with the release"
