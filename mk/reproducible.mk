# make reproducible: the same tree built and installed twice, in two folders
# and 400 days apart, must install byte-identical files (scripts/reproducible.sh;
# the two copies and their listings are in build/reproducible/).
.PHONY: reproducible

reproducible:
	@scripts/deps.sh build tools reproducible
	@scripts/reproducible.sh
