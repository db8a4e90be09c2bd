#!/usr/bin/env bash
# One full scripted simulation (default VTC box, 25 time points, cluster mode,
# VTC and NIfTI saved) under valgrind memcheck: fails on any memory error or leak.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh valgrind
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSIMTROVE_WERROR=ON > /dev/null
cmake --build build/release -j"$(nproc)" --target tavimo-standin simtrove > /dev/null
out=build/valgrind-run
rm -rf "$out"
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
         --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
         build/release/standin/tavimo-standin --out "$out" --time-points 25 --nifti \
             --protocol examples/block.prt --condition 2 --use-cross yes --save Simulated.vtc \
    2> "$out.log" > /dev/null || { tail -40 "$out.log"; exit 1; }
grep -E 'ERROR SUMMARY|definitely lost|in use at exit' "$out.log"
