# The two set-up commands of the README: `make test` and `make demo`.
# Each installs the Debian packages it needs when they are missing, configures
# and builds into build/, then runs the tests or the demo conversion.

BUILD ?= build
JOBS ?= 2
DEPS := g++ cmake ninja-build pkg-config libavformat-dev libavcodec-dev \
        libavutil-dev libswscale-dev libswresample-dev libgtest-dev \
        libgmock-dev libbenchmark-dev

.PHONY: all deps configure build test test-sanitize demo clean

all: build

deps:
	@missing=""; \
	for p in $(DEPS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  sudo=""; [ "$$(id -u)" -ne 0 ] && sudo="sudo"; \
	  $$sudo apt-get update && $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

demo: build
	@sh tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-sanitize
