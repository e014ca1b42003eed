# make run   : install what is missing, build, start the program
# make test  : the same set-up and build, then every test (Qt's offscreen platform)
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all setup configure build run test sanitize fuzz bench clean

all: build

setup:
	@scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program on its simulated interface, in a home folder of its own: no serial port is touched.
DEMO_HOME = $(BUILD)/demo
run: build
	@mkdir -p $(DEMO_HOME)/Auto
	@[ -f $(DEMO_HOME)/Zarvo.cfg ] || cp $(BUILD)/bin/Zarvo.cfg $(DEMO_HOME)/Zarvo.cfg
	$(BUILD)/bin/zarvo-meteo --demo --home $(DEMO_HOME)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Core tests only, once under AddressSanitizer + UBSan and once under ThreadSanitizer.
sanitize: setup
	@cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVO_GUI=OFF \
	  -DZARVO_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS)
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVO_GUI=OFF \
	  -DZARVO_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && ctest --output-on-failure -j $(JOBS)

# Figures: input thread CPU and latency at 7200 bytes/s over a pseudo-terminal; decoder speed;
# one hour of stream through zarvo-decode; the program's CPU and memory while receiving; how
# each detector receives simulated broadcasts, noise and the recorded corpus.
bench: build
	$(BUILD)/bench/zarvo-bench-input 10
	$(BUILD)/bench/zarvo-bench-decoder
	bench/decode-hour.sh $(BUILD)/bin
	bench/reception-load.sh $(BUILD)/bin 30
	$(BUILD)/bench/zarvo-bench-line-latency
	$(BUILD)/bench/zarvo-bench-reception

# Each fuzzer for FUZZ_SECONDS (clang with libFuzzer and AddressSanitizer).
FUZZ_SECONDS ?= 60
fuzz: setup
	@cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DZARVO_GUI=OFF -DZARVO_FUZZ=ON -DZARVO_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS)
	@for f in $(BUILD)-fuzz/fuzz/*_fuzz; do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 $(BUILD)-fuzz/corpus/$$(basename $$f) || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz

# Seeds small faults into a copy of the tree one at a time and counts those the core tests catch
# (about ten minutes; a developer's tool, not part of CI).
.PHONY: seed-faults
seed-faults: setup
	@scripts/seed-faults
