# NorvVelm: the two everyday commands are `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run deb bench fuzz faults format check-format tidy clean screenshots check-docs

all: build

deps:
	@scripts/check-deps || scripts/install-deps

configure: deps
	@mkdir -p $(BUILD)
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr $(if $(CI),-DNORVVELM_WERROR=ON) >$(BUILD)/configure.log 2>&1 || { cat $(BUILD)/configure.log; exit 1; }

# CMake's own progress lines, without make's directory chatter.
build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -LE fuzz

# Builds only the programs the demonstration runs; Ctrl-C ends it, and with
# it the make, without an error.
run: configure
	@cmake --build $(BUILD) -j$(JOBS) --target NorvVelm norvvelmd ecrsim -- --no-print-directory
	@scripts/run-demo $(BUILD)

# The Debian package of this build, in $(BUILD)/deb.
deb: build
	@cmake --build $(BUILD) --target deb >$(BUILD)/deb.log 2>&1 || { cat $(BUILD)/deb.log; exit 1; }
	@ls $(BUILD)/deb/*.deb

# A picture of each tab of the window, under Xvfb on a screen of SIZE, into
# SHOTS: make screenshots SIZE=1280x800 SHOTS=build/screenshots-1280x800
SIZE  ?= 1024x768
SHOTS ?= docs/screenshots
screenshots: build
	@scripts/take-screenshots $(BUILD) $(SHOTS) $(SIZE)

# Every command the README and docs/integrating.md show, run as written
# against the demo (also a test of make test: doc_commands).
check-docs: build
	@scripts/check-doc-commands $(BUILD)

# The figures alone on standard output: the build speaks only when it fails.
bench: configure
	@cmake --build $(BUILD) -j$(JOBS) >$(BUILD)/bench-build.log 2>&1 || { cat $(BUILD)/bench-build.log; exit 1; }
	@scripts/run-bench $(BUILD)

# The fault run at full size with a fresh seed (SEED=... replays one; RECEIPTS,
# KILLS and EXCLUDE as the test takes them): the seed, then one summary line.
RECEIPTS ?= 150
KILLS    ?= 40
faults: configure
	@cmake --build $(BUILD) -j$(JOBS) --target tst_recovery ecrsim norvvelmd -- --no-print-directory >$(BUILD)/faults-build.log 2>&1 || { cat $(BUILD)/faults-build.log; exit 1; }
	@scripts/run-faults $(BUILD) "$(SEED)" "$(RECEIPTS)" "$(KILLS)" "$(EXCLUDE)"

# Fuzz targets: built with clang and libFuzzer in their own build folder.
fuzz: deps
	@CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DNORVVELM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS)
	cd $(BUILD)-fuzz && ctest --output-on-failure -L fuzz

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

check-format:
	@scripts/check-format

# The clang-tidy checks of .clang-tidy over src/ and tools/.
tidy: configure
	@scripts/tidy $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz
