# Two entry points: `make demo` and `make test`. Both install what is missing,
# configure and build first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
WIN_BUILD  ?= build-windows
JOBS       ?= $(shell nproc)
GEN        := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build demo test test-asan test-tsan fuzz bench windows clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/bin/qcam demo

# A test that hangs fails after ten minutes instead of holding the run.
test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_SANITIZE=address >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# Thread-heavy tests built with ThreadSanitizer.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_SANITIZE=thread >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L tsan

# libFuzzer harnesses (clang), with AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The user-mode deliverables built for 32-bit Windows with mingw-w64 against the
# real SDK headers; the module must carry its five exports.
windows: deps
	@cmake -S . -B $(WIN_BUILD) $(GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@bash scripts/check-exports.sh $(WIN_BUILD)/qcamext.ax DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer VFWWDMExtension

bench: configure
	@cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD) out
