# SPDX-License-Identifier: GPL-3.0-or-later
# The two everyday commands: `make run` and `make test`. Each installs what is missing first.
BUILD   ?= build
JOBS    ?= $(shell nproc)
PREFIX  ?= /usr/local
CMAKE_GEN = -G Ninja

.PHONY: run test build release deps assets bench install package clean fuzz

deps:
	@tools/install-deps.sh

release: deps
	@cmake -S . -B $(BUILD)/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)/release -j $(JOBS) --target puzzle

run: release
	$(BUILD)/release/puzzle

build: deps
	@cmake -S . -B $(BUILD)/dev $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)/dev -j $(JOBS)

test: build
	ctest --test-dir $(BUILD)/dev --output-on-failure -j $(JOBS)

# Rebuilds the pictures and sounds the game ships from our own generator.
assets: build
	$(BUILD)/dev/tools/genassets .

bench: release
	@cmake --build $(BUILD)/release --target puzzle_bench bench_reference xstart -j $(JOBS)
	bench/run.sh $(BUILD)/release

install: release
	cmake --install $(BUILD)/release --prefix $(PREFIX)

# The Debian package as a distribution builds it (debian/), from a copy of the tree in
# $(BUILD)/deb, without the tests (`make test` runs them); dated by the last commit unless
# SOURCE_DATE_EPOCH is given.
EPOCH = $(or $(SOURCE_DATE_EPOCH),$(shell git log -1 --format=%ct 2>/dev/null))
package: deps
	rm -rf $(BUILD)/deb && mkdir -p $(BUILD)/deb/puzzle
	tar --exclude=./build --exclude='./$(BUILD)' --exclude=./.git -cf - . | tar -xf - -C $(BUILD)/deb/puzzle
	cd $(BUILD)/deb/puzzle && $(if $(EPOCH),SOURCE_DATE_EPOCH=$(EPOCH)) \
		DEB_BUILD_OPTIONS="nocheck parallel=$(JOBS)" dpkg-buildpackage -us -uc -b

clean:
	rm -rf $(BUILD)

# libFuzzer over picture loading and cutting, under ASan + UBSan: `make fuzz FUZZ_SECONDS=600`.
# Slowness and memory count as findings: an input may take 1 s, allocate 150 MB at once, and
# grow the process 150 MB past what it needs idle (FUZZ_IDLE_MB, measured with -runs=0). Inputs
# run in child processes started afresh every few thousand, so the sanitizer's own caches do
# not creep up to the limit; the first finding stops the run.
FUZZ_SECONDS ?= 60
FUZZ_IDLE_MB ?= 70
FUZZ_OPTIONS = -fork=1 -timeout=1 -malloc_limit_mb=150 -rss_limit_mb=$$(($(FUZZ_IDLE_MB) + 150)) -max_len=65536
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
		-DPUZZLE_SANITIZE=ON -DPUZZLE_FUZZ=ON -DPUZZLE_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)/fuzz -j $(JOBS) --target fuzz_picture
	mkdir -p $(BUILD)/fuzz/corpus
	ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16 $(BUILD)/fuzz/fuzz/fuzz_picture \
		-max_total_time=$(FUZZ_SECONDS) $(FUZZ_OPTIONS) $(BUILD)/fuzz/corpus fuzz/corpus
