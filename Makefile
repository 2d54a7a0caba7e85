# The two commands of the README. Both install what is missing first and are quick when nothing
# has changed.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
export LUMEVA_WIN_DEPS ?= $(HOME)/.cache/lumeva/win64-deps

# With ccache (installed by the setup) a tree rebuilt after small changes, or cloned afresh on a
# machine that built it before, compiles only what changed.
ifneq ($(shell command -v ccache),)
export CMAKE_CXX_COMPILER_LAUNCHER ?= ccache
export CMAKE_C_COMPILER_LAUNCHER ?= ccache
export CCACHE_BASEDIR ?= $(CURDIR)
endif

NATIVE := build/native
WIN64 := build/win64
SANITIZE := build/sanitize

FUZZ := build/fuzz

.PHONY: all setup native win64 sanitize fuzz test test-native test-sanitize test-win64 run bench clean

all: native win64

setup:
	@scripts/setup.sh

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

$(SANITIZE)/build.ninja:
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMEVA_SANITIZE=ON >/dev/null

$(FUZZ)/build.ninja:
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEVA_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null

$(WIN64)/build.ninja:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null

native: setup $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

sanitize: setup $(SANITIZE)/build.ninja
	cmake --build $(SANITIZE) -j $(JOBS)

win64: setup $(WIN64)/build.ninja
	cmake --build $(WIN64) -j $(JOBS)

# The fuzz targets (run one with scripts/fuzz.sh FORMAT SECONDS).
fuzz: setup $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure --timeout 600 -j $(JOBS)

test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --test-dir $(SANITIZE) --output-on-failure --timeout 900 -j $(JOBS)

test-win64: win64
	scripts/with-display.sh ctest --test-dir $(WIN64) --output-on-failure --timeout 600

test: test-native test-sanitize test-win64

run: win64
	@if [ -z "$$DISPLAY" ]; then echo "make run: no display (DISPLAY is not set)" >&2; exit 1; fi
	@. scripts/wine-env.sh && wine_prefix_ready && wine_pictures_samples $(CURDIR)/resources/samples && cd $(WIN64)/bin && exec wine Lumeva.exe

bench: native
	$(NATIVE)/bin/lumeva_bench

clean:
	rm -rf build
