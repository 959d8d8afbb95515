# The two commands: `make test` and `make demo`. Both install what they need first.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps configure build test demo clean

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_WERROR=ON

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: deps
	@scripts/run-tests.sh

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-win
