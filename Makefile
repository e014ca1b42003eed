# make run   : install what is missing, build, start the program
# make test  : the same set-up and build, then every test (Qt's offscreen platform)
# make deb   : the same set-up and build, then the Debian package in $(BUILD)/
SHELL := bash
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all setup configure build run test deb sanitize format-check fuzz bench clean

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

# zarvo-meteo_<version>_<arch>.deb from the install rules, the programs stripped.
deb: build
	@cd $(BUILD) && cpack -G DEB

# The core, audio, capture and window tests under AddressSanitizer + UBSan, the core tests under
# ThreadSanitizer.
# Qt and the system libraries it loads keep allocations to the end of the process: leaks are
# looked for in the core tests only.
sanitize: setup
	@cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVO_GUI=ON \
	  -DZARVO_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS) --target zarvo_core_tests zarvo_corpus_tests \
	  zarvo_audio_tests zarvo_capture_tests zarvo_gui_tests zarvo-data
	@cd $(BUILD)-asan && tests/zarvo_core_tests --gtest_brief=1
	@cd $(BUILD)-asan && tests/zarvo_corpus_tests --gtest_brief=1
	@cd $(BUILD)-asan && tests/zarvo_audio_tests --gtest_brief=1
	@cd $(BUILD)-asan && tests/zarvo_capture_tests --gtest_brief=1
	@cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
	  tests/zarvo_gui_tests --gtest_brief=1
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVO_GUI=OFF \
	  -DZARVO_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && ctest --output-on-failure -j $(JOBS)

# Every source file as .clang-format has it.
format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# Figures: input thread CPU and latency at 7200 bytes/s over a pseudo-terminal; live capture's
# CPU; how each detector receives simulated broadcasts, noise and the recorded corpus; the audio
# demodulator's speed, and how broadcasts as sound are received from clean to -5 dB; the slant of
# faxes from an uncalibrated clock, straightened by their phasing and not; then the program's CPU
# at rest and receiving, its wakeups a second receiving, memory, start-up, picture turn, decoder
# and zarvo-decode speed and line latency as one table, each the median of BENCH_RUNS runs.
BENCH_RUNS ?= 3
bench: build
	$(BUILD)/bench/zarvo-bench-input 10
	bench/capture-load.sh $(BUILD) 30
	$(BUILD)/bench/zarvo-bench-reception
	$(BUILD)/bench/zarvo-bench-audio
	$(BUILD)/bench/zarvo-bench-audio-reception
	$(BUILD)/bench/zarvo-bench-slant
	bench/resources $(BUILD) $(BENCH_RUNS)

# Each fuzzer for FUZZ_SECONDS (clang with libFuzzer and AddressSanitizer), starting from the
# seeds kept in fuzz/seeds and the corpus it has grown in the build folder.
FUZZ_SECONDS ?= 60
fuzz: setup
	@cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DZARVO_GUI=OFF -DZARVO_FUZZ=ON -DZARVO_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target zarvo_audio_fuzz zarvo_bmp_fuzz \
	  zarvo_decoder_fuzz zarvo_png_fuzz zarvo_settings_fuzz
	@for f in $(BUILD)-fuzz/fuzz/*_fuzz; do \
	  name=$$(basename $$f); mkdir -p $(BUILD)-fuzz/corpus/$$name; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan-suppressions.txt \
	  $$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=0 \
	    $(BUILD)-fuzz/corpus/$$name fuzz/seeds/$$name 2>&1 | grep -E '^(Done|==|SUMMARY)' ; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz

# Seeds small faults into a copy of the tree one at a time and counts those the core tests catch
# (about ten minutes; a developer's tool, not part of CI).
.PHONY: seed-faults
seed-faults: setup
	@scripts/seed-faults
