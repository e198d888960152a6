# make install: builds the default preset (as `make build`) and installs it
# into PREFIX (default /usr/local), under DESTDIR when set (staged installs).
# For a system prefix, run ldconfig afterwards so programs find the library.
#   make install PREFIX=/opt/ssh_msg_def
#   make install PREFIX=/usr DESTDIR=$PWD/stage
PREFIX ?= /usr/local

.PHONY: install

install: build
	@DESTDIR="$(DESTDIR)" cmake --install build/$(PRESET) --prefix "$(PREFIX)"
