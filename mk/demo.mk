# make demo: installs the missing build and tool packages (as root), builds the
# sshmsg tool and the host platform, and runs scripts/demo.sh. The build's
# output goes to build/demo-build.log and is shown only when it fails.
demo:
	@scripts/deps.sh build tools
	@mkdir -p build
	@{ cmake --preset $(PRESET) && cmake --build --preset $(PRESET) --target sshmsg; } >build/demo-build.log 2>&1; \
		status=$$?; $(GIVE_BACK); [ $$status -eq 0 ] || { cat build/demo-build.log; exit 1; }
	@scripts/demo.sh build/$(PRESET)
