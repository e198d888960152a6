# make stack: the worst-case stack use of the exported functions on 64-bit
# Arm, in the library as it ships (the release preset's build, cross-compiled),
# from the call graphs and frame sizes GCC writes (-fcallgraph-info=su) over
# every call chain (scripts/stack_usage.py). Fails above STACK_BOUND bytes.
# Installs the cross compilers first when run as root.
STACK_DIR := build/stack-aarch64
STACK_BOUND ?= 640

.PHONY: stack

stack:
	@scripts/deps.sh build cross
	@cmake --preset release -B $(STACK_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/aarch64-linux-gnu.cmake \
	    -DSSH_MSG_DEF_TOOLS=OFF -DCMAKE_C_FLAGS="$$CFLAGS -fcallgraph-info=su" \
	    -DCMAKE_CXX_FLAGS="$$CXXFLAGS -fcallgraph-info=su" >/dev/null
	@cmake --build $(STACK_DIR) --target ssh_msg_def >/dev/null
	@python3 scripts/stack_usage.py $(STACK_DIR) $(STACK_DIR)/exports.map $(STACK_BOUND)
