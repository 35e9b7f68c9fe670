# make deps        installs the Debian packages the build and the tests need
# make build       configures and builds everything into build/ (installing the npm packages first)
# make test        deps, build, every test under Wine through CTest, then demo-check
# make demo        the hub at work in a demo world under build/demo (Ctrl-C stops it)
# make demo-check  the demo without a display, driven through its interface by Playwright
# make dist        dist/OrvantisHub-VERSION-win-x64.zip for Windows users
BUILD ?= build
JOBS ?= $(shell nproc)
# What the demo builds: the program, the headless host, the interface and the demo world's tools.
DEMO_TARGETS = OrvantisHub hub_headless_host hub_ui tar_standin demo_camera_app

.PHONY: deps configure build test demo demo-check dist clean

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
	sh tests/harness/stop-server.sh $(BUILD); \
	sh tests/harness/demo.sh $(BUILD) $(BUILD)/ui $(BUILD)/demo-check check || status=1; \
	exit $$status

demo: deps configure
	cmake --build $(BUILD) --parallel $(JOBS) --target $(DEMO_TARGETS)
	sh tests/harness/demo.sh $(BUILD) $(BUILD)/ui $(BUILD)/demo open

demo-check: deps configure
	cmake --build $(BUILD) --parallel $(JOBS) --target $(DEMO_TARGETS)
	sh tests/harness/demo.sh $(BUILD) $(BUILD)/ui $(BUILD)/demo-check check

dist: deps configure
	cmake --build $(BUILD) --parallel $(JOBS) --target OrvantisHub hub_ui
	sh scripts/make-dist.sh $(BUILD) $(BUILD)/ui web dist

clean:
	rm -rf $(BUILD) dist
