# Wire compatibility with every release (scripts/compat.py): today's manifest
# (sshmsg list --wire) against compat/*/wire.txt, each release's byte vectors
# decoded by today's sshmsg, then the checker's rules on manifests made for
# the test. Also part of `make test` (tests compat and compat_rules).
.PHONY: compat

compat: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target sshmsg; status=$$?; $(GIVE_BACK); exit $$status
	@python3 scripts/compat.py check build/$(PRESET)/tools/sshmsg/sshmsg compat
	@python3 tests/compat/compat_test.py
