#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

# One call, so that apt-get update runs at most once.
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}" \
    "${REALHID_PACKAGES[@]}" "${CLI_PACKAGES[@]}" "${HARDENING_PACKAGES[@]}" \
    "${LANGUAGE_AND_ACCESS_PACKAGES[@]}"
ensure_locales en_US.UTF-8
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(build_jobs)"
ctest --test-dir build --output-on-failure -j "$(build_jobs)"

# The whole suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the test that caused it. The
# soak runs fewer rounds here, its full count ran in the plain build; the
# window tests' second run in an English locale ran there too, and is left
# out here (it repeats the same code).
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCAMERA_CONFIG_SANITIZE=ON
cmake --build build-asan -j "$(build_jobs)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
SOAK_ROUNDS=200 \
    ctest --test-dir build-asan --output-on-failure -j "$(build_jobs)" --label-exclude english-locale

# A short run of each fuzz target (clang and libFuzzer), from the seed
# corpus kept in fuzz/corpus (the package reader's for 20 seconds).
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCAMERA_CONFIG_BUILD_FUZZERS=ON -DCAMERA_CONFIG_BUILD_TESTS=OFF
cmake --build build-fuzz -j "$(build_jobs)" --target fuzz_frames fuzz_window fuzz_package
ctest --test-dir build-fuzz/fuzz --output-on-failure -j "$(build_jobs)"
