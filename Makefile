# Thin front end over the CMake presets. `make test` builds everything and runs
# every test; `make demo` shows the library at work. Both install missing Debian
# build dependencies first when run as root. Further targets live in mk/*.mk.
PRESET ?= default

# Run as root (sudo make ...) in a tree that someone else owns, the build
# directory goes back to the tree's owner afterwards, so that their next make
# can write to it.
GIVE_BACK = if [ "$$(id -u)" = 0 ] && [ "$$(stat -c %u .)" != 0 ] && [ -d build ]; then \
	chown -R "$$(stat -c %u:%g .)" build; fi

.PHONY: all build test demo deps clean

all: build

deps:
	@scripts/deps.sh build

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET); status=$$?; $(GIVE_BACK); exit $$status

test: build
	@ctest --preset $(PRESET); status=$$?; $(GIVE_BACK); exit $$status

clean:
	rm -rf build

-include mk/*.mk
