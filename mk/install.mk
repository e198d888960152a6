# make install: builds the release preset (Release: -O2, no assertions, debug
# information; the build whose figures README gives) and installs it into
# PREFIX (default /usr/local), under DESTDIR when set (staged installs), with
# the debug information in separate files under PREFIX/lib/debug/.build-id/
# (scripts/split_debug.sh). `make install-strip` leaves it out instead.
# COMPONENT installs one component (runtime, development, host, tool, examples:
# see cmake/install.cmake). For a system prefix, run ldconfig afterwards so
# that programs find the library.
#   make install PREFIX=/opt/ssh_msg_def
#   make install PREFIX=/usr DESTDIR=$PWD/stage COMPONENT=runtime
PREFIX ?= /usr/local
COMPONENT ?=
INSTALL_ARGS = --prefix "$(PREFIX)" $(if $(COMPONENT),--component $(COMPONENT))

.PHONY: install install-strip release-build

release-build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release; status=$$?; $(GIVE_BACK); exit $$status

install: release-build
	@DESTDIR="$(DESTDIR)" cmake --install build/release $(INSTALL_ARGS)
	@scripts/split_debug.sh "$(DESTDIR)$(PREFIX)"

install-strip: release-build
	@DESTDIR="$(DESTDIR)" cmake --install build/release $(INSTALL_ARGS) --strip
