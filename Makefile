# make deps   installs the Debian packages the build and the tests need
# make build  configures and builds everything into build/
# make test   deps, build, then every test under Wine through CTest
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build test clean

deps:
	sh scripts/install-deps.sh

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) --parallel $(JOBS)

test: deps build
	sh tests/harness/prepare-prefix.sh $(BUILD)
	ctest --test-dir $(BUILD) --output-on-failure --parallel $(JOBS); \
	status=$$?; sh tests/harness/full-disk.sh unmount $(BUILD); \
	sh tests/harness/stop-server.sh $(BUILD); exit $$status

clean:
	rm -rf $(BUILD)
