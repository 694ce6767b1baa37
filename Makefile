# make run:  install what is missing, build, convert the bundled example book.
# make test: install what is missing, build, run every test.
BUILD ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
CTEST_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	rm -f $(BUILD)/examples/*.pptx
	./$(BUILD)/tralvex $(BUILD)/examples/example.mordx

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) $(CTEST_FLAGS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) build-asan
