#!/usr/bin/env bash
# Installs the BIDS validator (npm package bids-validator, pinned) into
# build/tools when it is missing, with Node and npm from Debian when the
# machine has none. Prints the validator's path. After the install it runs
# offline.
set -euo pipefail
cd "$(dirname "$0")/.."
version=1.15.0  # the last of the 1.x line; needs Node 18 or newer
validator=build/tools/node_modules/.bin/bids-validator
if [[ -x $validator ]] && [[ $("$validator" --version 2>/dev/null) == "$version" ]]; then
    echo "$PWD/$validator"
    exit 0
fi
command -v npm >/dev/null || scripts/install-deps.sh nodejs npm >&2
mkdir -p build/tools
npm install --prefix build/tools --no-audit --no-fund --loglevel=error "bids-validator@$version" >&2
echo "$PWD/$validator"
