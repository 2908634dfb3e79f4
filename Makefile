# The two set-up commands of the README: `make test` and `make demo`.
# Each installs the Debian packages it needs when they are missing, configures
# and builds into build/, then runs the tests or the demo conversion.

BUILD ?= build
JOBS ?= 2
# Build type of build/ (CI uses Release) and whether warnings stop the build
# (CI turns this on so the build stays warning-free).
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
DEPS := g++ cmake ninja-build pkg-config libavformat-dev libavcodec-dev \
        libavutil-dev libavfilter-dev libswscale-dev libswresample-dev libgtest-dev \
        libgmock-dev libbenchmark-dev clang

# Seconds each fuzz target runs in `make fuzz`; `make fuzz-ci` uses FUZZ_CI_SECONDS.
FUZZ_SECONDS ?= 60
FUZZ_CI_SECONDS ?= 20
FUZZ_BUILD ?= build-fuzz
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
# The test programs of the code that runs threads, for `make test-tsan`.
TSAN_TESTS := threads engine codec audio
# The arm64 cross build of `make test-arm64`: Debian's aarch64 compiler, the
# arm64 libraries beside the native ones (multiarch), the tests under qemu-user.
ARM64_BUILD ?= build-arm64
ARM64_DEPS := g++-aarch64-linux-gnu qemu-user-static libavformat-dev:arm64 \
        libavcodec-dev:arm64 libavutil-dev:arm64 libavfilter-dev:arm64 libswscale-dev:arm64 \
        libswresample-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64
# The tests it runs under qemu: every test of the folders (ctest labels) in
# ARM64_LABELS, then the test suites named in ARM64_SUITES (ARM64_LABELS='.*'
# runs every test).
ARM64_LABELS ?= codec|image|audio|engine|database|threads
ARM64_SUITES ?= EndToEndDigestTest

.PHONY: all deps deps-arm64 configure build test test-sanitize test-tsan test-debian13 test-arm64 \
        fuzz-build fuzz fuzz-ci demo clean

all: build

# Installs what is missing of DEPS, then the clang runtime (sanitizers, libFuzzer)
# of the clang that is installed, whose package name carries clang's major
# version and so differs from one Debian release to the next.
deps:
	@sudo=""; [ "$$(id -u)" -ne 0 ] && sudo="sudo"; \
	updated=""; \
	need() { \
	  missing=""; \
	  for p in "$$@"; do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	  done; \
	  [ -z "$$missing" ] && return 0; \
	  echo "Installing missing packages:$$missing"; \
	  [ -n "$$updated" ] || $$sudo apt-get update || return 1; updated=yes; \
	  $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	}; \
	need $(DEPS) && \
	need libclang-rt-$$(clang -dumpversion | cut -d. -f1)-dev

deps-arm64:
	@missing=""; \
	for p in $(ARM64_DEPS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  sudo=""; [ "$$(id -u)" -ne 0 ] && sudo="sudo"; \
	  dpkg --print-foreign-architectures | grep -qx arm64 || $$sudo dpkg --add-architecture arm64; \
	  $$sudo apt-get update && $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVANTREL_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_BENCH=OFF \
	  -DVANTREL_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The tests of the worker threads, the engine (picture thread), the codec and
# the audio pipeline under ThreadSanitizer (clang), stopping at the first
# report; FFmpeg's own decoder threads are left out by tests/tsan-suppressions.txt.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVANTREL_BUILD_BENCH=OFF -DVANTREL_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(addsuffix _tests,$(TSAN_TESTS))
	for t in $(TSAN_TESTS); do \
	  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	    $(TSAN_BUILD)/tests/$$t/$${t}_tests --gtest_brief=1 || exit 1; \
	done

# Everything built for arm64 (cmake/aarch64-linux-gnu.cmake) but the benchmarks,
# and the tests of ARM64_LABELS and ARM64_SUITES run under qemu-user, which
# also runs the program for the tests that start it.
test-arm64: deps deps-arm64
	cmake -S . -B $(ARM64_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVANTREL_WERROR=$(WERROR) -DVANTREL_BUILD_BENCH=OFF
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -L '^($(ARM64_LABELS))$$'
	cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -R '^($(ARM64_SUITES))\.'

# The libFuzzer programs (tests/fuzz), built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer; `make fuzz` runs each for FUZZ_SECONDS and fails on
# any finding, which is saved under tests/fuzz/regressions/ for the test run.
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DVANTREL_WERROR=$(WERROR) \
	  -DVANTREL_BUILD_FUZZ=ON -DVANTREL_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_programs

fuzz: fuzz-build
	sh tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=$(FUZZ_CI_SECONDS)

# The CI build and every test inside a Debian 13 root (g++ 14, FFmpeg 7.1) made
# by debootstrap and kept in $(BUILD)/debian13-root (see tools/test-debian13.sh).
test-debian13:
	sh tools/test-debian13.sh $(BUILD) $(JOBS)

# The demo builds only what it runs: the library, the program, the inspector
# and the sample clip writer (the tests and benchmarks wait for `make test`).
DEMO_TARGETS := vantrel vantrel-inspect vantrel-sample

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)
	@sh tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(ARM64_BUILD)
