#!/usr/bin/env bash
# check_dll_exports.sh <simtrove.dll> <i686|x86_64>
# Checks the plug-in DLL's export table against what a host built with
# Microsoft's compiler expects: expected_exports.cpp compiled by clang in that
# ABI lists the exports (its linker directives); Microsoft's linker exports the
# C functions of 32-bit x86 without their "_" prefix. Also checks the image's
# word size. The table must hold exactly these names.
set -euo pipefail
dll=$1 processor=$2
here=$(dirname "$0")
objdump=${processor}-w64-mingw32-objdump
objcopy=${processor}-w64-mingw32-objcopy
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

headers=$("$objdump" -p "$dll")
magic=$([[ $processor == i686 ]] && echo 010b || echo 020b)
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" || { echo "$dll is not a $processor image"; exit 1; }
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/ {print $3}' | sort)

clang-14 --target="$processor-pc-windows-msvc" -std=c++20 -nostdinc -c "$here/expected_exports.cpp" \
    -o "$scratch/expected.obj"
"$objcopy" --dump-section .drectve="$scratch/directives" "$scratch/expected.obj" "$scratch/copy.obj"
expected=$(tr ' \0' '\n\n' < "$scratch/directives" | sed -nE 's/^\/EXPORT:"?([^",]+)"?(,DATA)?$/\1/p' |
           { if [[ $processor == i686 ]]; then sed -E 's/^_//'; else cat; fi; } | sort)

if [[ "$actual" != "$expected" ]]; then
    echo "unexpected export table of $dll:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u | tr '\n' ' ')
echo "exports of $dll: $(wc -l <<<"$actual") names, as a host built with Microsoft's compiler expects; imports: $imports"
while read -r name; do
    if [[ $name == \?* ]]; then echo "  $name = $(llvm-undname-14 "$name" | sed -n 2p)"; fi
done <<<"$actual"
