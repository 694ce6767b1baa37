# make run:  install what the program needs, build it, convert the bundled
#            example book (neither tests nor benchmarks are built).
# make test: install what the tests need as well, build everything, run every
#            test.
# make program: build what `make install` installs (no tests, no benchmarks).
# make install [PREFIX=/usr/local] [DESTDIR=...]: install the program, its
#   desktop entry, MIME type, icons, software-centre metadata and manual page.
# make uninstall: remove what `make install` installed.
# make package: the Debian package (build/tralvex_<version>_<arch>.deb).
# install and package build and install only what the program needs.
BUILD ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
CTEST_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=
# The files `make install` installed, for `make uninstall`.
INSTALLED ?= $(BUILD)/installed.txt

.PHONY: all deps run-deps configure build run program test bench install install-built uninstall package clean

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

# What is installed or packaged, without tests and benchmarks: a build folder
# that `make test` configured with them is configured again without them
# (its test programs stay, for the next `make test`).
program: run-deps
	@grep -qs '^TRALVEX_BUILD_TESTS:BOOL=OFF' $(BUILD)/CMakeCache.txt && \
	  grep -qs '^TRALVEX_BUILD_BENCH:BOOL=OFF' $(BUILD)/CMakeCache.txt || \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DTRALVEX_BUILD_TESTS=OFF -DTRALVEX_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Without DESTDIR the desktop's caches are refreshed so that file managers
# know the book type and its icon at once.
refresh = if [ -z "$(DESTDIR)" ]; then \
	  update-mime-database "$(PREFIX)/share/mime" 2>/dev/null || true; \
	  update-desktop-database "$(PREFIX)/share/applications" 2>/dev/null || true; \
	  gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" 2>/dev/null || true; \
	fi

install: program
	@$(MAKE) --no-print-directory install-built

# The installed files, DESTDIR included, are added to the list of earlier
# installs (cmake's own manifest, which leaves DESTDIR out, is moved there:
# `sudo make install` must leave nothing of root's in the way of the next
# build).
install-built:
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@awk -v destdir="$(DESTDIR)" '{ print destdir $$0 }' $(BUILD)/install_manifest.txt | \
	  sort -u -o $(INSTALLED) - $(wildcard $(INSTALLED)) && rm -f $(BUILD)/install_manifest.txt
	@$(refresh)

# Removes the files listed and the program's own documentation folder, never
# a folder others may share.
uninstall:
	@[ -f $(INSTALLED) ] || { echo "make uninstall: $(INSTALLED) lists nothing installed" >&2; exit 1; }
	xargs -r -d '\n' rm -f < $(INSTALLED)
	@sed -n 's|/doc/tralvex/[^/]*$$|/doc/tralvex|p' $(INSTALLED) | sort -u | \
	  xargs -r -d '\n' rmdir --ignore-fail-on-non-empty 2>/dev/null || true
	rm -f $(INSTALLED)
	@$(refresh)

package: program
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) build-asan
