#!/usr/bin/env bash
# Builds Velmora and runs every test: the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded parts again under ThreadSanitizer,
# a short run of each fuzz target, and the Debian package built and checked.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# clang builds the sanitized suite in about two thirds of GCC's time, and its
# AddressSanitizer also finds a local used after its scope that GCC's misses
CC=clang CXX=clang++ cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs"

# only what the threaded tests need: the executables behind the `threads` label
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_TSAN=ON
cmake --build build/tsan -j "$jobs" --target threads_tests
# The filter bar's and the report's window tests run no thread of the program:
# what runs beside them are Qt's pooled image threads, which ThreadSanitizer
# cannot follow into the uninstrumented library.
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" ctest --test-dir build/tsan \
    --output-on-failure -j "$jobs" -L threads -E '^(Filter|ReportMenuTest)\.'


CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_GUI=OFF
cmake --build build/fuzz -j "$jobs" --target fuzz_decoders fuzz_log_reader
# runs: what each target does in about a quarter of a minute
for target in decoders:20000 log_reader:20000; do
    name=${target%%:*} runs=${target##*:}
    build/fuzz/bin/fuzz_$name -runs="$runs" -seed=1 "$(mktemp -d)" "fuzz/corpus/$name" \
        >/dev/null 2>"build/fuzz/fuzz_$name.log" || { cat "build/fuzz/fuzz_$name.log"; exit 1; }
    echo "fuzz_$name: $runs runs clean"
done
cmake --build build/fuzz -j "$jobs" --target fuzz_onewire_masters
build/fuzz/bin/fuzz_onewire_masters -runs=200000 -seed=1 -timeout=10 "$(mktemp -d)" \
    fuzz/corpus/onewire_masters >/dev/null \
    2>build/fuzz/fuzz-masters.log || { cat build/fuzz/fuzz-masters.log; exit 1; }
echo "fuzz_onewire_masters: 200000 runs clean"

scripts/check-package.sh
