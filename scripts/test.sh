#!/bin/sh
# Installs every dependency, builds Trawlix in all CI configurations and runs all tests:
#   1. the layer check, and the core alone without Qt (a stray Qt include in the core fails here)
#   2. g++ with -Werror: the whole suite, plus the formatting check; then the Debian package, built
#      with Debian's hardening flags and checked by lintian, desktop-file-validate and appstreamcli
#   3. clang with AddressSanitizer and UndefinedBehaviorSanitizer: the whole suite
#   4. clang with ThreadSanitizer: thread, scan, probe and trace tests, the searches and the main window
#   5. clang libFuzzer: a short run of every fuzz target over its seed corpus
# Network tests run in private network namespaces they make themselves (root needed).
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
"$ROOT/scripts/deps.sh"

JOBS=${JOBS:-$(nproc)}
OUT=${TRAWLIX_BUILD_ROOT:-$ROOT/build/ci}
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen

step() { printf '\n==== %s ====\n' "$*"; }

step "layer check; core without Qt"
cmake -DROOT="$ROOT" -P "$ROOT/cmake/layer_check.cmake"
cmake -S . -B "$OUT/core" -G Ninja -DTRAWLIX_BUILD_GUI=OFF -DTRAWLIX_BUILD_TESTS=OFF -DTRAWLIX_WERROR=ON >/dev/null
cmake --build "$OUT/core" -j "$JOBS"

step "g++ -Werror: build and all tests"
cmake -S . -B "$OUT/gcc" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc -DTRAWLIX_WERROR=ON \
    -DCMAKE_BUILD_TYPE=Debug -DTRAWLIX_BUILD_BENCH=ON >/dev/null
cmake --build "$OUT/gcc" -j "$JOBS"
cmake --build "$OUT/gcc" --target format-check
ctest --test-dir "$OUT/gcc" -j "$JOBS" -LE fuzz

step "Debian package: hardened build, lintian, desktop-file-validate, appstreamcli"
"$ROOT/scripts/package.sh" "$OUT/pkg"

step "clang AddressSanitizer + UndefinedBehaviorSanitizer: all tests"
cmake -S . -B "$OUT/asan" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DTRAWLIX_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$OUT/asan" -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$OUT/asan" -j "$JOBS" -LE fuzz

step "clang ThreadSanitizer: threads, scan, probe, trace, the searches and the main window"
cmake -S . -B "$OUT/tsan" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DTRAWLIX_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$OUT/tsan" -j "$JOBS"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/tests/tsan.supp \
    ctest --test-dir "$OUT/tsan" -j "$JOBS" -L tsan

step "clang libFuzzer: short runs"
cmake -S . -B "$OUT/fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DTRAWLIX_FUZZ=ON -DTRAWLIX_BUILD_GUI=OFF -DTRAWLIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$OUT/fuzz" -j "$JOBS"
TRAWLIX_FUZZ_SECONDS=${TRAWLIX_FUZZ_SECONDS:-15} ctest --test-dir "$OUT/fuzz" -j "$JOBS" -L fuzz

step "all test runs passed"
