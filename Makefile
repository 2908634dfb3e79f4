# The two set-up commands of the README: `make test` and `make demo`.
# Each installs the Debian packages it needs when they are missing, configures
# and builds into build/, then runs the tests or the demo conversion.

BUILD ?= build
JOBS ?= 2
DEPS := g++ cmake ninja-build pkg-config libavformat-dev libavcodec-dev \
        libavutil-dev libswscale-dev libswresample-dev libgtest-dev \
        libgmock-dev libbenchmark-dev

.PHONY: all deps configure build test demo clean

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

demo: build
	@sh tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)
