# make run   - install what is missing, build, build the content, start the studio
# make test  - the same set-up, then every test in the normal, the address/undefined-behaviour
#              sanitizer and the thread sanitizer builds
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# The thread-sanitizer run takes the test programs where the sound, recording, file and network
# threads and the studio's own loop meet the main thread; the drawing, song-model, video, content
# tool and lobby plug-in tests run on one thread and are covered by the other two runs.
TSAN_TEST_DIRS ?= platform;core;app;audio;ui;editors;jam
# Left out of the thread-sanitizer run until mended (they run in the other two builds): the tests
# that start whole studio windows under a real clock, and the two-process jams, whose join can
# outwait its answer when both studios run under the sanitizer on a loaded machine.
TSAN_EXCLUDE ?= SdlWindow|SongGridWindow.RealWindow|TwoProcessJam

.PHONY: all setup build asan tsan test test-fast test-tsan run bench fuzz clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTNV_WERROR=ON $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

asan: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTNV_SANITIZE=ON -DTNV_BENCH=OFF -DTNV_WERROR=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

tsan: setup
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTNV_TSAN=ON -DTNV_BENCH=OFF -DTNV_WERROR=ON \
	  -DTNV_TEST_DIRS="$(TSAN_TEST_DIRS)" $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS)

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# ThreadSanitizer reports fail a test program (exit status 66).
test-tsan: tsan
	TSAN_OPTIONS="second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -E '$(TSAN_EXCLUDE)'

test: test-fast asan tsan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-tsan

run: build
	./$(BUILD)/tnvpc

bench: build
	@for b in $(BUILD)/bench/tnv_bench_*; do echo "== $$b"; $$b; done

fuzz: setup
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTNV_FUZZ=ON -DTNV_TESTS=OFF -DTNV_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) build-fuzz
