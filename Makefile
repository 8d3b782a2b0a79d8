# Entry points for people and CI. Each target installs what it needs first.
PRESET ?= release
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build test demo bench format clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j2

demo: build
	@scripts/demo.sh $(BUILD_DIR)/bin

bench: build
	@scripts/bench.sh $(BUILD_DIR)/bin

format:
	@git ls-files '*.cpp' '*.h' '*.inline' | xargs -r clang-format -i

clean:
	rm -rf build
