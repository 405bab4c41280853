# Tansy's front door. `make run` and `make test` install what is missing,
# build and go; the other targets are for developers.
SHELL := /bin/bash
BUILD := build
JOBS ?= $(shell nproc)
PYTEST := /usr/bin/python3 -m pytest
# Wine tests mostly wait on timers and the network, so a few run side by side.
WINE_WORKERS ?= 3
# A folder of third-party feeds that some tests read on top of the project's
# own feeds in tests/feeds. TANSY_FEEDS=dir makes those tests required: they
# fail when dir is missing or empty. Without it ../shared/feeds is used when
# it exists, and those tests are skipped when it does not.
ifneq ($(strip $(TANSY_FEEDS)),)
FEEDS_DIR := $(abspath $(TANSY_FEEDS))
FEEDS_REQUIRED := ON
else
FEEDS_DIR := $(wildcard $(abspath ../shared/feeds))
FEEDS_REQUIRED := OFF
endif
FEEDS_SETTING := $(FEEDS_DIR) $(FEEDS_REQUIRED)
FEEDS_CMAKE := -DTANSY_FEEDS_DIR=$(FEEDS_DIR) -DTANSY_FEEDS_REQUIRED=$(FEEDS_REQUIRED)

.PHONY: FORCE all deps deps-test build native native32 test-native32 win64 win32 test test-native test-wine run bench bench-wine fuzz fuzz-build fuzz-smoke fuzz-long soak dist screenshots clean

all: build

deps:
	@tools/install-deps.sh

# What building and testing need, without the screenshot tools and fonts.
deps-test:
	@tools/install-deps.sh --tests

build: native native32 win64 win32

# Rewritten only when the corpus setting changes, so that the trees that use
# it are configured again then and only then.
$(BUILD)/feeds.setting: FORCE
	@mkdir -p $(BUILD)
	@[ "$$(cat $@ 2>/dev/null)" = "$(FEEDS_SETTING)" ] || echo "$(FEEDS_SETTING)" >$@

$(BUILD)/native/CMakeCache.txt: $(BUILD)/feeds.setting
	cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug -DTANSY_SANITIZE=ON $(FEEDS_CMAKE) >/dev/null
	@touch $@

$(BUILD)/win64/CMakeCache.txt:
	cmake -S . -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

$(BUILD)/win32/CMakeCache.txt:
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

native: $(BUILD)/native/CMakeCache.txt
	cmake --build $(BUILD)/native -j$(JOBS)

# The platform-free code and its tests as a 32-bit x86 program, run under
# qemu-i386: the width of the 32-bit Windows program, on any machine.
$(BUILD)/native32/CMakeCache.txt: $(BUILD)/feeds.setting
	cmake -S . -B $(BUILD)/native32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake \
		-DCMAKE_BUILD_TYPE=Debug $(FEEDS_CMAKE) >/dev/null
	@touch $@

native32: $(BUILD)/native32/CMakeCache.txt
	cmake --build $(BUILD)/native32 -j$(JOBS)

win64: $(BUILD)/win64/CMakeCache.txt
	cmake --build $(BUILD)/win64 -j$(JOBS)

win32: $(BUILD)/win32/CMakeCache.txt
	cmake --build $(BUILD)/win32 -j$(JOBS)

# Each step in turn, timed; the last line gives the whole run's seconds and
# each step's, also when a step fails.
TEST_STEPS := deps-test native native32 win64 win32 test-native test-native32 test-wine fuzz-smoke
test:
	@start=$$(date +%s); code=0; steps=(); \
	for step in $(TEST_STEPS); do \
		began=$$(date +%s); \
		$(MAKE) --no-print-directory $$step || code=$$?; \
		steps+=("$$step $$(( $$(date +%s) - began ))"); \
		((code == 0)) || break; \
	done; \
	summary=$$(IFS=,; echo "$${steps[*]}" | sed 's/,/ s, /g'); \
	echo "make test: $$( ((code)) && echo FAILED || echo passed) in $$(( $$(date +%s) - start )) s" \
		"($$summary s)"; \
	exit $$code

# Builds the native tree first: the corpus setting is compiled into the tests.
test-native: native
	cd $(BUILD)/native && ctest --output-on-failure -j$(JOBS)
	@[ -n "$(FEEDS_DIR)" ] || echo "test-native: feed corpus tests skipped: no ../shared/feeds;" \
		"point TANSY_FEEDS at a folder of feeds to run them"

test-native32: native32
	cd $(BUILD)/native32 && ctest --output-on-failure -j$(JOBS)

# Every test that starts a program runs on both builds, win32 and win64.
test-wine:
	TANSY_BUILD=$(abspath $(BUILD)) TANSY_WIN_BUILD= TANSY_FEEDS=$(FEEDS_DIR) \
		TANSY_FEEDS_REQUIRED=$(FEEDS_REQUIRED) \
		$(PYTEST) -q -rs -p no:cacheprovider --durations=12 -n $(WINE_WORKERS) tests/wine

run: deps win64
	@tools/run-demo.sh $(abspath $(BUILD)/win64)

# dist/Tansy-<version>-win32.zip and -win64.zip: Tansy.exe, jis1997.dll, README.txt.
dist: deps win64 win32
	@/usr/bin/python3 tools/make_dist.py $(BUILD) dist

# docs/tray-menu.png, news-menu.png, notice.png, site-dialog.png and about.png,
# taken under Wine and Xvfb.
screenshots: deps win64
	@/usr/bin/python3 tools/screenshots.py $(abspath $(BUILD)/win64) docs

$(BUILD)/release/CMakeCache.txt: $(BUILD)/feeds.setting
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(FEEDS_CMAKE) >/dev/null
	@touch $@

bench: deps $(BUILD)/release/CMakeCache.txt
	cmake --build $(BUILD)/release -j$(JOBS)
	@for b in $(BUILD)/release/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# The real program under Wine mirroring a 2,000-item feed into its folder:
# shortcuts per second into an empty folder, seconds for 10 changed items.
BENCH_ITEMS ?= 2000
bench-wine: deps win64
	@/usr/bin/python3 bench/bench_wine_mirror.py $(abspath $(BUILD)/win64) $(BENCH_ITEMS)

# libFuzzer targets, built with clang in a tree of their own.
FUZZ_SECONDS ?= 300
FUZZ_SMOKE_SECONDS ?= 15
# Longest input the fuzzers try, in bytes.
export FUZZ_MAX_LEN ?= 4096
# An input slower than this many seconds is a finding.
export FUZZ_TIMEOUT ?= 2
# The feed text target runs again on inputs up to FUZZ_LARGE_LEN bytes, where
# a cost that grows faster than the input shows (see tools/fuzz.sh).
export FUZZ_LARGE_TARGETS ?= fuzz_feed_text
export FUZZ_LARGE_LEN ?= 262144
FUZZ_SMOKE_LARGE_SECONDS ?= 10
FUZZ_TARGETS := fuzz_feed_text fuzz_jis1997 fuzz_status_dat fuzz_opml

$(BUILD)/fuzz/CMakeCache.txt:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DTANSY_FUZZ=ON >/dev/null

fuzz-build: $(BUILD)/fuzz/CMakeCache.txt
	cmake --build $(BUILD)/fuzz -j$(JOBS) --target $(FUZZ_TARGETS)

fuzz: fuzz-build
	@TANSY_FEEDS=$(FEEDS_DIR) tools/fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-smoke: fuzz-build
	@TANSY_FEEDS=$(FEEDS_DIR) FUZZ_LARGE_SECONDS=$(FUZZ_SMOKE_LARGE_SECONDS) \
		tools/fuzz.sh $(BUILD)/fuzz $(FUZZ_SMOKE_SECONDS) $(FUZZ_TARGETS)

# Ten million executions per target (at most a day each), for a release,
# spread over the machine's cores, and half an hour of the long inputs.
fuzz-long: fuzz-build
	@TANSY_FEEDS=$(FEEDS_DIR) FUZZ_RUNS=10000000 FUZZ_FORK=$(JOBS) FUZZ_LARGE_SECONDS=1800 \
		tools/fuzz.sh $(BUILD)/fuzz 86400 $(FUZZ_TARGETS)

# Long run under Wine: a thousand fetches and more, with the program's
# handle, GDI, USER and memory figures at the start and the end.
soak: deps win64
	TANSY_SOAK=1 TANSY_WIN_BUILD=$(abspath $(BUILD)/win64) $(PYTEST) -q -s -p no:cacheprovider \
		tests/wine/test_soak.py

clean:
	rm -rf $(BUILD) dist
