# The two commands of the README: `make run` runs the saver, `make test` runs every test.
# Both install the Debian packages they need when missing.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test deps build dist clean

run:
	bash scripts/install-deps.sh linux
	cmake --preset linux >/dev/null
	cmake --build build/linux -j$(JOBS) --target tesmar tesmar-render
	bash scripts/run.sh build/linux

test:
	bash scripts/test.sh

deps:
	bash scripts/install-deps.sh linux fuzz windows dist

# The Windows downloads: a zip of both savers and the two installers, in build/dist.
dist:
	bash scripts/dist.sh

build:
	cmake --preset linux >/dev/null
	cmake --build build/linux -j$(JOBS)

clean:
	rm -rf build
