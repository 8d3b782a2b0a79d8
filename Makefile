# SPDX-License-Identifier: Apache-2.0
# Entry points for people and CI. Each target installs what it needs first.
PRESET ?= release
BUILD_DIR := build/$(PRESET)

.PHONY: all help deps configure build test demo bench fuzz soak format clean install package

all: build

help:
	@echo "make [TARGET] [PRESET=release|debug|asan|tsan]   (build folder: build/PRESET)"
	@echo ""
	@echo "  build     install missing Debian packages, configure and build (the default)"
	@echo "  test      build, then run the test suite of the preset (CI: make test KR_WERROR=ON)"
	@echo "  demo      build, then show each program at work (scripts/demo/), pictures in build/PRESET/demo/index.html"
	@echo "  bench     build, then run every benchmark (bench/<area>/run.sh)"
	@echo "  fuzz      run the libFuzzer targets for FUZZ_SECONDS each (default 60), in build/fuzz"
	@echo "  soak      run the document property test over SOAK_ROUNDS random documents (default 3000)"
	@echo "  install   install the programs, plug-ins, libraries and headers under PREFIX (default /usr/local)"
	@echo "  package   make the Debian package in build/PRESET"
	@echo "  format    apply .clang-format to every tracked C++ file (make test checks it)"
	@echo "  deps      install the Debian packages the build and tests need (scripts/install-deps.sh)"
	@echo "  configure configure build/PRESET from CMakePresets.json"
	@echo "  clean     remove build/"
	@echo "  help      this list"
	@echo ""
	@echo "One target: cmake --build --preset PRESET --target NAME. One test: cd build/PRESET && ctest -R NAME."
	@echo "See CONTRIBUTING.md and docs/ARCHITECTURE.md."

deps:
	@scripts/install-deps.sh

# KR_WERROR=ON (as .ci/run sets it) makes every compiler warning an error.
configure: deps
	@cmake --preset $(PRESET) $(if $(KR_WERROR),-DKR_WERROR=$(KR_WERROR)) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# The preset's tests (the tsan preset runs only the processing-thread and channel tests).
test: build
	ctest --preset $(PRESET)

# Installs the programs, plug-ins, libraries, headers and packages under PREFIX.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package (krsystem_<version>_<arch>.deb, installing under /opt/krsystem) in $(BUILD_DIR).
package: build
	@cd $(BUILD_DIR) && cpack

# What the demo makes stays in $(BUILD_DIR)/demo (replaced on each run), shown by its index.html.
demo: build
	@scripts/demo.sh $(BUILD_DIR)/bin $(BUILD_DIR)/demo

bench: build
	@scripts/bench.sh $(BUILD_DIR)/bin

# Fuzzes with libFuzzer under ASan and UBSan, FUZZ_SECONDS per target (clang build in
# build/fuzz; the corpora they grow stay there). The targets, their seed folders and any
# longer input limit than 4096 bytes are the ones the build declares with kr_add_fuzz_target
# (build/fuzz/fuzzTargets.txt). An input running over ten seconds counts as a hang.
FUZZ_SECONDS ?= 60
FUZZ_DIR ?= build/fuzz
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_SANITIZE=ON \
		-DKR_FUZZ=ON -DKR_BUILD_TESTS=ON -DKR_BUILD_MOVIE_BRIDGE=ON >/dev/null
	@cmake --build $(FUZZ_DIR) --target fuzzTargets
	@set -e; while IFS=: read -r target seeds maxlen; do \
		[ -n "$$target" ] || continue; \
		mkdir -p $(FUZZ_DIR)/corpus/$$target; \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
		$(FUZZ_DIR)/bin/$$target -max_total_time=$(FUZZ_SECONDS) -max_len=$${maxlen:-4096} -timeout=10 \
			-artifact_prefix=$(FUZZ_DIR)/$$target- \
			$(FUZZ_DIR)/corpus/$$target $$seeds </dev/null; \
	done <$(FUZZ_DIR)/fuzzTargets.txt

# The document property test run long: SOAK_ROUNDS random documents from SOAK_SEED (by
# default the time, printed so that a failure can be replayed with SOAK_SEED=...).
SOAK_ROUNDS ?= 3000
SOAK_SEED ?= $(shell date +%s)
soak: build
	@echo "soak: $(SOAK_ROUNDS) documents from seed $(SOAK_SEED)"
	@KR_PROPERTY_SEED=$(SOAK_SEED) KR_PROPERTY_ROUNDS=$(SOAK_ROUNDS) $(BUILD_DIR)/tests/piDocumentPropertyTests

format:
	@scripts/format.sh

clean:
	rm -rf build
