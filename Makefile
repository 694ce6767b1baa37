# make run:  install what the program needs, build it, convert the bundled
#            example book (neither tests nor benchmarks are built).
# make test: install what the tests need as well, build everything, run every
#            test.
# make install [PREFIX=/usr/local] [DESTDIR=...]: install the program, its
#   desktop entry, MIME type, icons and manual page.
# make package: the Debian package (build/tralvex_<version>_<arch>.deb).
BUILD ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
CTEST_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps run-deps configure build run test bench install package clean

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

# Without DESTDIR the desktop's caches are refreshed so that file managers
# know the book type and its icon at once.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
	  update-mime-database "$(PREFIX)/share/mime" 2>/dev/null || true; \
	  update-desktop-database "$(PREFIX)/share/applications" 2>/dev/null || true; \
	  gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" 2>/dev/null || true; \
	fi

package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) build-asan
