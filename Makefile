# The two commands of the README: `make run` runs the saver, `make test` runs every test.
# Both install the Debian packages they need when missing.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test deps build clean

run:
	bash scripts/install-deps.sh linux
	cmake --preset linux >/dev/null
	cmake --build build/linux -j$(JOBS) --target tesmar tesmar-render
	bash scripts/run.sh build/linux

test:
	bash scripts/test.sh

deps:
	bash scripts/install-deps.sh linux fuzz windows

build:
	cmake --preset linux >/dev/null
	cmake --build build/linux -j$(JOBS)

clean:
	rm -rf build
