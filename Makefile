# Thin wrapper over CMake: `make run` and `make test` are all a new checkout
# needs. Each build type has a folder of its own under build/.
BUILD   ?= build/release
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE   ?= cmake
CTEST   ?= ctest
EXAMPLE ?= examples/initiator.conf

.PHONY: all build run test clean

all: build

$(BUILD)/CMakeCache.txt:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DICC_WERROR=ON

build: $(BUILD)/CMakeCache.txt
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# Builds the checker and runs it on the shipped example configuration.
run: build
	$(BUILD)/iscsi-config-check $(EXAMPLE)

# Builds the checker and its tests and runs every test.
test: build
	$(CTEST) --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf build
