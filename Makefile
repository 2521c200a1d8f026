# Quarrow: `make test` installs what is missing, builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=

.PHONY: all deps configure build test test-sanitize test-asan test-tsan clean demo bench format format-check install uninstall

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The core tests under ASan + UBSan, the threaded tests under TSan, each in its own folder.
test-sanitize: test-asan test-tsan

test-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUARROW_SANITIZE=address \
	  -DQUARROW_BUILD_GUI=OFF -DQUARROW_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L core

test-tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQUARROW_SANITIZE=thread \
	  -DQUARROW_BUILD_GUI=OFF -DQUARROW_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L threaded

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan

# One layout for every C++ file of the tree (.clang-format); format-check changes nothing.
FORMAT_FILES = git ls-files -z -- '*.cpp' '*.h'
format: deps
	@$(FORMAT_FILES) | xargs -0 clang-format -i

format-check: deps
	@$(FORMAT_FILES) | xargs -0 clang-format --dry-run -Werror

# Installs the programs, the manual, the man pages, the menu entry and the browser
# extension's files under PREFIX, registers the browser host and records ProgramPath and
# HelpFilePath for the current user; uninstall removes exactly that (scripts/install,
# scripts/uninstall).
PREFIX ?= $(HOME)/.local

install: build
	@scripts/install "$(PREFIX)" "$(BUILD_DIR)"

uninstall:
	@scripts/uninstall "$(PREFIX)"

# Serves the sample gallery on 127.0.0.1 and harvests it with quarrow-cli, then (with a
# display) with the desktop program.
demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target quarrow-cli quarrow-gallery-server $(if $(DISPLAY),quarrow)
	@demo/run-demo.sh $(BUILD_DIR)

# quarrow-cli against wget, aria2c and curl on a paced local server (RUNS rounds, median).
RUNS ?= 5
bench: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARROW_BUILD_BENCH=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target quarrow-harvest-bench
	@$(BUILD_DIR)/bench/quarrow-harvest-bench --runs $(RUNS)
