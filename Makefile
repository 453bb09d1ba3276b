# psucal: the two commands a newcomer needs are `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX     ?= /usr
CTEST_ENV  := QT_QPA_PLATFORM=offscreen
# A cold build parses Qt's headers once per batch of files rather than once per file.
# `make UNITY=OFF` builds file by file, which rebuilds less after an edit.
UNITY      ?= ON
CONFIGURE  := -DCMAKE_UNITY_BUILD=$(UNITY) -DCMAKE_UNITY_BUILD_BATCH_SIZE=16

.PHONY: all deps configure build test test-asan fuzz torture demo demo-station bench package install clean

all: build

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CONFIGURE)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The whole suite, then once more under AddressSanitizer + UndefinedBehaviorSanitizer, one phase
# after the other: beside the sanitizer build, even niced, the real-time runs stalled long enough
# on two cores to fail healthy units as dead lines. The plain suite takes twice as many tests as
# cores: its longest runs start first and mostly wait on their simulated lines, and at one test a
# core they kept the unit tests waiting for four minutes.
test: build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j $$(( $(JOBS) * 2 ))
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPSUCAL_SANITIZE=ON -DPSUCAL_BENCH=OFF $(CONFIGURE)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(CTEST_ENV) ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Every parser's fuzz target for $(FUZZ_SECONDS) s each, one at a time (clang, ASan + UBSan).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DPSUCAL_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz-targets
	tests/fuzz/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Kills, signals and a vanishing port at many moments of real runs; prints the fault table.
torture: build
	PSUCAL_TORTURE=1 tests/e2e/fault-table $(BUILD)

# A window when a display is there, the terminal wizard otherwise; the simulated 40 V unit.
demo: build
	$(BUILD)/bin/psucal --simulate $(if $(DISPLAY)$(WAYLAND_DISPLAY),,--batch --yes)

# Four simulated units of three ratings recalibrated at once: the station view, or the terminal's lines.
demo-station: build
	$(BUILD)/bin/psucal --simulate 20,40,60,40 --station $(if $(DISPLAY)$(WAYLAND_DISPLAY),,--batch --yes)

bench: build
	bench/run-all $(BUILD)/bin

# The Debian package: $(BUILD)/psucal_<version>_<arch>.deb (check it with lintian).
package: build
	cd $(BUILD) && cpack

# The same set as the package, under $(DESTDIR)$(PREFIX).
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX) --strip

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
