# make run   installs what is missing, builds, and starts the monitor
# make test  installs what is missing, builds, and runs every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test demo screenshot fuzz sanitize bench compare-peers clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/src/zar-are

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# A simulated fleet sending to the monitor on a free high port; needs no root.
demo: build
	scripts/demo $(BUILD_DIR)

# docs/screenshot.png, from the demo under Xvfb.
screenshot: build
	scripts/screenshot $(BUILD_DIR)

# The ingest benchmark's standard set (about a minute; receiver on core 0, sender on core 1).
bench: build
	$(BUILD_DIR)/bench/zarare-bench standard

# The same loads through rsyslog (unpacked, run by hand), a bare recvmmsg counter and the monitor.
compare-peers: build
	bench/compare-peers --bin $(BUILD_DIR)/bench

# The libFuzzer targets, ten minutes each (CI runs them for one).
FUZZ_SECONDS ?= 600
fuzz: deps
	fuzz/run build-fuzz $(FUZZ_SECONDS)

# The whole test suite built with address and undefined-behaviour sanitizers.
sanitize: deps
	scripts/sanitize-tests build-asan

clean:
	rm -rf $(BUILD_DIR)
