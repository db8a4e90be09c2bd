#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, starting from
# its committed seeds and regression cases. Fails on any finding; a crashing
# input is left in build/fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh clang libclang-rt-14-dev

cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DSIMTROVE_FUZZ=ON -DSIMTROVE_WERROR=ON -DSIMTROVE_BUILD_BENCH=OFF > /dev/null
targets=$(for dir in tests/fuzz/*/; do [[ -d $dir/seeds ]] && basename "$dir"; done)
cmake --build build/fuzz -j"$(nproc)" --target $(for t in $targets; do echo "${t}_fuzzer"; done)

status=0
for target in $targets; do
    work=build/fuzz/corpus/$target findings=build/fuzz/findings/$target
    rm -rf "$work" "$findings" && mkdir -p "$work" "$findings"
    cp tests/fuzz/$target/seeds/* tests/fuzz/$target/regressions/* "$work"/ 2>/dev/null || true
    echo "== fuzzing $target for ${seconds}s"
    if build/fuzz/tests/fuzz/${target}_fuzzer "$work" -max_total_time="$seconds" -max_len=8192 \
           -timeout=20 -rss_limit_mb=4096 -artifact_prefix="$findings/" -print_final_stats=1 \
           > "build/fuzz/$target.log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|new_units_added)' "build/fuzz/$target.log"
    else
        echo "fuzz target $target found a fault:"
        tail -40 "build/fuzz/$target.log"
        status=1
    fi
done
exit $status
