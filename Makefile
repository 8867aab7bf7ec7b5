# make run   installs what is missing, builds, and starts the monitor
# make test  installs what is missing, builds, and runs every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test demo screenshot clean

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

clean:
	rm -rf $(BUILD_DIR)
