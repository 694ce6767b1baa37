# make run:  install what the program needs, build it, convert the bundled
#            example book (neither tests nor benchmarks are built).
# make test: install what the tests need as well, build everything, run every
#            test.
BUILD ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
CTEST_FLAGS ?=

.PHONY: all deps run-deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh test

run-deps:
	@bash scripts/install-deps.sh run

# Tests and benchmarks are switched on again when `make run` configured the
# build folder first.
configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DTRALVEX_BUILD_TESTS=ON -DTRALVEX_BUILD_BENCH=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Configured without tests and benchmarks unless the build folder already has
# them; only the program and the example book are built.
run: run-deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DTRALVEX_BUILD_TESTS=OFF -DTRALVEX_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target tralvex example_book
	rm -f $(BUILD)/examples/*.pptx
	./$(BUILD)/tralvex $(BUILD)/examples/example.mordx

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) $(CTEST_FLAGS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) build-asan
