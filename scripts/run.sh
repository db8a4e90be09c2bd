#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the stand-in host with
# the plug-in on its embedded defaults. Output goes to ./out unless --out is given.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build/release -j"$(nproc)" --target tavimo-standin simtrove
if [[ " $* " != *" --out "* ]]; then
    mkdir -p out
    set -- --out out "$@"
fi
exec build/release/standin/tavimo-standin "$@"
