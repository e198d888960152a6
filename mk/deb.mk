# make deb: the Debian packages of debian/ (libssh-msg-def1, libssh-msg-def-dev,
# ssh-msg-def-host), built by `dpkg-buildpackage -us -uc -b` in a copy of the
# tree under build/deb/, where the packages land; the build runs every test of
# `make test` (dh_auto_test). Then lintian, which fails on any error, and for
# a native build scripts/deb_check.sh: the packages unpacked into a scratch
# root, examples/decode.c compiled against it and run.
#   make deb                  native packages
#   make deb DEB_ARCH=arm64   cross-built for 64-bit Arm, without the tests (nocheck);
#                             adds the arm64 architecture and its run-time libraries
#                             (scripts/deps.sh deb-arm64) for dpkg-shlibdeps
DEB_ARCH ?=
DEB_DIR = build/deb$(if $(DEB_ARCH),-$(DEB_ARCH))
DEB_FLAGS = -us -uc -b -J2 $(if $(DEB_ARCH),-a$(DEB_ARCH) -Pnocheck)

.PHONY: deb

deb:
	@scripts/deps.sh build deb $(if $(DEB_ARCH),cross deb-$(DEB_ARCH))
	@rm -rf $(DEB_DIR) && mkdir -p $(DEB_DIR)/src
	@tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C $(DEB_DIR)/src
	@cd $(DEB_DIR)/src && $(if $(DEB_ARCH),DEB_BUILD_OPTIONS="$${DEB_BUILD_OPTIONS:+$$DEB_BUILD_OPTIONS }nocheck") \
		dpkg-buildpackage $(DEB_FLAGS) >../build.log 2>&1 || { tail -n 60 ../build.log; exit 1; }
	@grep -E '^dpkg-(deb|genchanges|buildpackage): ' $(DEB_DIR)/build.log
	@lintian --fail-on error $(DEB_DIR)/*.changes
	@[ -n "$(DEB_ARCH)" ] || scripts/deb_check.sh $(DEB_DIR)
