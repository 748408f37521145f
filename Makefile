# Fenmora: top-level commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps build test run screenshot clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The window, with the sample card that the build makes offered (and
# selected) in the drive list.
run: build
	$(BUILD)/fenmora $(BUILD)/sample-card

# Pictures of the loaded window and of the about box, drawn headless.
screenshot: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./fenmora_gui_tests --gtest_filter='Screenshot.*'
	@echo "screenshots: $(BUILD)/screenshots/main-loaded.png $(BUILD)/screenshots/about.png"

clean:
	rm -rf $(BUILD)
