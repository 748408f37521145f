# Fenmora: top-level commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps build test run screenshot clean install package check-package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	@scripts/install-deps test
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The window, with the sample card that the build makes offered (and
# selected) in the drive list.
run: build
	$(BUILD)/fenmora $(BUILD)/sample-card

# Pictures of the window (loaded, at start), the about box, a message box with
# Qt's Japanese buttons, the commit's confirmation and the drive list, drawn
# headless.
screenshot: build
	FENMORA_LANG=ja QT_QPA_PLATFORM=offscreen $(BUILD)/fenmora_screenshots $(BUILD)/sample-card $(BUILD)/screenshots
	FENMORA_LANG=en QT_QPA_PLATFORM=offscreen $(BUILD)/fenmora_screenshots $(BUILD)/sample-card $(BUILD)/screenshots/en
	@echo "screenshots: $(BUILD)/screenshots/ and, in English, $(BUILD)/screenshots/en/ (main-loaded, main-large, help, main-start, about, message-box, interrupted-update, commit-confirmation, menu, main-800x600, main-least, drive-list, main-drive-chosen)"

clean:
	rm -rf $(BUILD)

# Installing: the programs in $(PREFIX)/bin, their data in share/fenmora, the
# desktop entry, icons, metainfo and manual pages where the desktop looks.
# DESTDIR (a staging folder) is honoured.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package $(BUILD)/fenmora_<version>_<arch>.deb (CPack; the library
# dependencies computed by dpkg-shlibdeps).
package: build
	@scripts/install-deps package
	cd $(BUILD) && cpack -G DEB

# Validates the desktop entry and the metainfo, renders the manual pages,
# runs the installed programs from a staging prefix, and runs lintian on the
# package (scripts/check-package). CHECK_APT=1 also installs the package with
# apt-get, runs it from /usr/bin and removes it.
check-package: build
	@scripts/install-deps package
	scripts/check-package $(BUILD)

# Fuzzing (clang 14, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer):
# builds the targets of fuzz/ in $(FUZZ_BUILD), writes the seed corpora with
# the program's own writers, then runs each target for FUZZ_SECONDS seconds on
# its corpus (new inputs go to $(FUZZ_BUILD)/corpus/<target>, crashes to
# $(FUZZ_BUILD)/findings/). A finding stops the run; keep its input in
# fuzz/regressions/<target>/, where the core tests replay it.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_table fuzz_mld fuzz_mfi_midi fuzz_smf fuzz_cardpath fuzz_cp932 fuzz_journal fuzz_movie

.PHONY: fuzz fuzz-smoke fuzz-build

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DFENMORA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14

fuzz-build:
	@scripts/install-deps fuzz
	$(MAKE) $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	$(FUZZ_BUILD)/make_seeds $(FUZZ_BUILD)/seeds

fuzz: fuzz-build
	@set -e; mkdir -p $(FUZZ_BUILD)/findings; \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t; \
	  kept=; [ -d fuzz/regressions/$$t ] && kept=fuzz/regressions/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/findings/$$t- \
	    $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t $$kept \
	    > $(FUZZ_BUILD)/$$t.log 2>&1 || { tail -n 40 $(FUZZ_BUILD)/$$t.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^Done' $(FUZZ_BUILD)/$$t.log || true; \
	done
	@$(MAKE) --no-print-directory fuzz-model

# The card model (tests/sync/model_test.cpp) for many more cases than make
# test runs, from a new seed each time (printed; MODEL_SEED=S repeats a run).
# A failing case is printed, made as small as the run can make it.
MODEL_CASES ?= 20000
MODEL_SEED ?= $(shell date +%s)
.PHONY: fuzz-model
fuzz-model: build
	@echo "fuzz: card model, $(MODEL_CASES) cases from seed $(MODEL_SEED)"
	FENMORA_MODEL_SEED=$(MODEL_SEED) FENMORA_MODEL_CASES=$(MODEL_CASES) FENMORA_MODEL_BIG=1 \
	  $(BUILD)/fenmora_core_tests --gtest_filter='CardModel.*'

# The short run for CI: the card model from a seed the commit gives, so a
# CI run on a commit can be repeated exactly (each new commit explores anew).
COMMIT_SEED := $(shell printf '%d' 0x$$(git rev-parse --short=7 HEAD 2>/dev/null || echo 1))
fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=10 MODEL_CASES=2000 MODEL_SEED=$(COMMIT_SEED)

# Benchmarks (release build, $(BUILD)): the core on a full card (load, commit,
# queueing, and their growth from 64 to 1024 items per kind) in the temporary
# folder and on an exFAT volume mounted through FUSE from a loop image
# (bench/exfat-volume.sh: needs root; says so when the machine does not allow
# it); the window (start-up against a bare window and against a bare window
# showing the program's captions, peak memory, grid refresh) headless and
# under Xvfb; then the JPEG preview, the conversion of a photo, and that of a
# phone video against the ffmpeg command line. Each figure beside its baseline, as
# medians of several runs. Every figure goes to $(BUILD)/bench.txt too. A
# target not met is reported, not an error: the run fails only when a
# benchmark itself fails.
BENCH_PROGRAMS := card_bench window_bench bare_window jpeg_preview_bench convert_bench movie_bench melody_bench fenmora

.PHONY: bench
bench: SHELL := /bin/bash
bench:
	@scripts/install-deps bench
	$(MAKE) $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_PROGRAMS)
	@set -eo pipefail; out=$(BUILD)/bench.txt; \
	{ echo "machine: $$(nproc) cores, $$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
	       "$$(free -h | awk '/^Mem:/ {print $$2}') memory, /tmp on $$(df -T /tmp | awk 'NR==2 {print $$2}'),"\
	       "kernel $$(uname -r), load average $$(cut -d' ' -f1-3 /proc/loadavg)"; echo; } | tee $$out; \
	echo "== core: card_bench, temporary folder" | tee -a $$out; \
	$(BUILD)/card_bench --label tmp | tee -a $$out; echo | tee -a $$out; \
	echo "== core: card_bench, exFAT through FUSE" | tee -a $$out; \
	bench/exfat-volume.sh $(BUILD)/card_bench --label exFAT --dir | tee -a $$out; echo | tee -a $$out; \
	echo "== window: window_bench, offscreen" | tee -a $$out; \
	QT_QPA_PLATFORM=offscreen $(BUILD)/window_bench | tee -a $$out; echo | tee -a $$out; \
	echo "== window: window_bench, Xvfb" | tee -a $$out; \
	if command -v xvfb-run >/dev/null; then \
	  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb \
	    $(BUILD)/window_bench --startup-only | tee -a $$out; \
	else echo "Xvfb: not measured: xvfb-run not found (scripts/install-deps bench installs it)" | tee -a $$out; fi; \
	echo | tee -a $$out; \
	echo "== preview: jpeg_preview_bench" | tee -a $$out; \
	QT_QPA_PLATFORM=offscreen $(BUILD)/jpeg_preview_bench | tee -a $$out; echo | tee -a $$out; \
	echo "== conversion: convert_bench" | tee -a $$out; \
	QT_QPA_PLATFORM=offscreen $(BUILD)/convert_bench | tee -a $$out; echo | tee -a $$out; \
	echo "== movies: movie_bench" | tee -a $$out; \
	$(BUILD)/movie_bench | tee -a $$out; echo | tee -a $$out; \
	echo "== melodies: melody_bench" | tee -a $$out; \
	$(BUILD)/melody_bench | tee -a $$out; echo | tee -a $$out; \
	echo "== targets" | tee -a $$out; grep -E 'target <=|not measured' $$out | sed 's/^/  /' | tee -a $$out
