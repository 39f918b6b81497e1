# Two entry points: `make demo` and `make test`. Both install what is missing,
# configure and build first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
WIN_BUILD  ?= build-windows
JOBS       ?= $(shell nproc)
GEN        := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

# CI builds treat warnings as errors; `make ... WERROR=OFF` builds without.
WERROR       ?= ON
SCALAR_BUILD ?= build-scalar
FUZZ_SECONDS ?= 20
# Test programs whose tests share state across threads (label tsan).
TSAN_TESTS := test_stress test_driver test_sys

.PHONY: all deps configure build demo test test-asan test-tsan test-scalar fuzz fuzz-run bench windows clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Release -DQCAM_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/bin/qcam demo

# A test that hangs fails after ten minutes instead of holding the run.
test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_SANITIZE=address -DQCAM_WERROR=$(WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# Thread-heavy tests built with ThreadSanitizer: only their programs are built.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_SANITIZE=thread -DQCAM_WERROR=$(WERROR) -DQCAM_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	@cd $(TSAN_BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS) -L tsan

# The JPEG decoder's tests and its fuzz corpus once more in a build without
# the vector paths, so that the scalar kernels are run as the decoder's own.
test-scalar: deps
	@cmake -S . -B $(SCALAR_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Release -DQCAM_SCALAR_ONLY=ON -DQCAM_WERROR=$(WERROR) -DQCAM_BENCH=OFF >/dev/null
	@cmake --build $(SCALAR_BUILD) -j $(JOBS) --target test_jpeg fuzz_jpeg_replay
	@cd $(SCALAR_BUILD) && QCAM_SOURCE_DIR=$(CURDIR) ./bin/test_jpeg --gtest_brief=1
	@$(SCALAR_BUILD)/bin/fuzz_jpeg_replay fuzz/corpus/jpeg

# libFuzzer harnesses (clang), with AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQCAM_FUZZ=ON -DQCAM_WERROR=$(WERROR) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# Every harness for FUZZ_SECONDS from its seed corpus, two at a time.
fuzz-run: fuzz
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The user-mode deliverables built for 32-bit Windows with mingw-w64 against the
# real SDK headers; the module must carry its five exports.
windows: deps
	@cmake -S . -B $(WIN_BUILD) $(GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DQCAM_WERROR=$(WERROR) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@bash scripts/check-exports.sh $(WIN_BUILD)/qcamext.ax DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer VFWWDMExtension

bench: configure
	@cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(SCALAR_BUILD) $(FUZZ_BUILD) $(WIN_BUILD) out
