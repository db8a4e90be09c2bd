#!/usr/bin/env bash
# Installs what is missing, checks that every tracked C++ source follows the
# tree's .clang-format, builds in Release with warnings as errors and runs
# every test; then builds and runs the whole suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer. Extra arguments go to ctest (e.g. -LE slow).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh chromium clang-format-14
# The BIDS validator checks the datasets the programs write (tests/python).
BIDS_VALIDATOR=$(scripts/install-bids-validator.sh)
export BIDS_VALIDATOR
jobs=$(nproc)

# One formatting for the tree; clang-format's output differs between versions,
# so the version is pinned.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSIMTROVE_WERROR=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs" "$@"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMTROVE_WERROR=ON \
      -DSIMTROVE_SANITIZE=ON -DSIMTROVE_BUILD_BENCH=OFF
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize --output-on-failure -j"$jobs" "$@"
