#!/usr/bin/env bash
# Installs what is missing, checks that every tracked C++ source follows the
# tree's .clang-format, builds in Release with warnings as errors and runs
# every test; then builds and runs the whole suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer; last installs the Python module into .venv
# (the README's command, reusing the Release tree) and runs the pytest suites of
# tests/python. Extra arguments go to ctest (e.g. -LE slow).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh chromium clang-format-14
# The BIDS validator checks the datasets the programs write (tests/python).
BIDS_VALIDATOR=$(scripts/install-bids-validator.sh)
export BIDS_VALIDATOR
# Debian's interpreter, whatever else is first on PATH.
python=$(readlink -f "${SIMTROVE_PYTHON:-/usr/bin/python3}")
jobs=$(nproc)

# One formatting for the tree; clang-format's output differs between versions,
# so the version is pinned.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSIMTROVE_WERROR=ON \
      -DPYTHON_EXECUTABLE="$python"
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs" "$@"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMTROVE_WERROR=ON \
      -DSIMTROVE_SANITIZE=ON -DSIMTROVE_BUILD_BENCH=OFF
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize --output-on-failure -j"$jobs" "$@"

# The Python module, installed as the README says, then its tests (a minute or
# two). pytest exits with 5 when it collects nothing: a failure while there are
# test files, since then the suites were lost rather than absent.
"$python" -m venv --system-site-packages .venv
SIMTROVE_BUILD_DIR=build/release .venv/bin/pip install --no-build-isolation --quiet .
if compgen -G "tests/python/test_*.py" >/dev/null; then
    SIMTROVE_BUILD_DIR=build/release MPLBACKEND=Agg .venv/bin/python -m pytest -q -p no:cacheprovider tests/python
fi
