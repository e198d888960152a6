# Thin front end over the CMake presets. `make test` builds everything and runs
# every test; `make demo` shows the library at work. Both install missing Debian
# build dependencies first when run as root. Further targets live in mk/*.mk.
PRESET ?= default

.PHONY: all build test demo deps clean

all: build

deps:
	@scripts/deps.sh build

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

test: build
	@ctest --preset $(PRESET)

clean:
	rm -rf build

-include mk/*.mk
