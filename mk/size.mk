# make size: the text of libssh_msg_def.so as it ships (the release preset's
# build of the library target alone, tool and tests left out), for this host
# and for 64-bit Arm, as `size` counts it. Installs the cross compilers first
# when run as root.
SIZE_TARGETS := host aarch64

.PHONY: size

size:
	@scripts/deps.sh build cross
	@set -e; for t in $(SIZE_TARGETS); do \
	    dir=build/size-$$t; \
	    chain=; [ $$t = host ] || chain=-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/$$t-linux-gnu.cmake; \
	    cmake --preset release -B $$dir $$chain -DSSH_MSG_DEF_TOOLS=OFF >/dev/null; \
	    cmake --build $$dir --target ssh_msg_def >/dev/null; \
	    set -- $$(size $$dir/libssh_msg_def.so | tail -n 1); \
	    echo "text of libssh_msg_def.so, $$t, Release: $$1 bytes"; \
	done
