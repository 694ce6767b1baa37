# make run:  install what is missing, build, convert the bundled example book.
# make test: install what is missing, build, run every test.
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

.PHONY: all deps configure build run test bench install package clean

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
