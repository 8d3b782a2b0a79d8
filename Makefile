# Entry points for people and CI. Each target installs what it needs first.
PRESET ?= release
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build test demo bench fuzz format clean

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

# Fuzzes the XML parser with libFuzzer under ASan and UBSan for FUZZ_SECONDS (clang build
# in build/fuzz; the corpus it grows stays there, the seeds are in host-framework/tests).
FUZZ_SECONDS ?= 60
FUZZ_DIR ?= build/fuzz
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_SANITIZE=ON \
		-DKR_FUZZ=ON -DKR_BUILD_TESTS=ON -DKR_BUILD_MOVIE_BRIDGE=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) --target xmlParserFuzz
	@mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/bin/xmlParserFuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -artifact_prefix=$(FUZZ_DIR)/ \
		$(FUZZ_DIR)/corpus host-framework/tests/xmlFuzzCorpus

format:
	@git ls-files '*.cpp' '*.h' '*.inline' | xargs -r clang-format -i

clean:
	rm -rf build
