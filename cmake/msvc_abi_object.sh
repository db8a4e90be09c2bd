#!/usr/bin/env bash
# msvc_abi_object.sh <clang> <objcopy> <triple> <source> <object> [clang flags...]
#
# Compiles one translation unit in the Microsoft C++ ABI (clang, target
# <triple>, no standard library) into an object that MinGW's linker takes:
#  - clang writes the exports of __declspec(dllexport) as Microsoft linker
#    directives (/EXPORT:"name"[,DATA]), which GNU ld does not read: they are
#    rewritten as GNU directives (-export:"name"[,data]) and every other
#    directive (default libraries) is dropped;
#  - on 32-bit x86, GNU ld looks an exported name up with the C prefix "_"
#    (createPlugin -> _createPlugin), while Microsoft-decorated names ("?...")
#    carry none: every decorated symbol, defined or referenced, is renamed with
#    the prefix in every such object (so references between them still meet),
#    and the DLL exports them under their decorated names exactly; C names are
#    exported without the prefix that clang's directive spells.
set -euo pipefail
clang=$1 objcopy=$2 triple=$3 source=$4 object=$5
shift 5
raw=$object.raw
"$clang" --target="$triple" -std=c++20 -nostdinc -O2 -fno-rtti -fno-exceptions -ffp-contract=off \
    -Wall -Wextra -Wpedantic "$@" -c "$source" -o "$raw"

directives=()
renames=()
if "$objcopy" --dump-section .drectve="$object.drectve" "$raw" "$object.scratch" 2>/dev/null; then
    # Names never contain blanks: decorated names and C identifiers.
    for word in $(tr -d '\0' < "$object.drectve"); do
        [[ $word =~ ^/EXPORT:\"?([^\",]+)\"?(,DATA)?$ ]] || continue
        name=${BASH_REMATCH[1]}
        [[ $triple == i686-* && $name == _* ]] && name=${name#_}
        directives+=("-export:\"$name\"${BASH_REMATCH[2]:+,data}")
    done
fi
if [[ $triple == i686-* ]]; then
    for name in $("${objcopy%objcopy}nm" -P "$raw" | awk '$1 ~ /^[?]/ {print $1}' | sort -u); do
        renames+=(--redefine-sym "$name=_$name")
    done
fi
rm -f "$object.drectve" "$object.scratch"
args=(--remove-section .drectve)
if ((${#directives[@]})); then
    printf ' %s' "${directives[@]}" > "$object.directives"
    args+=(--add-section .drectve="$object.directives")
fi
"$objcopy" "${args[@]}" "${renames[@]}" "$raw" "$object"
rm -f "$raw" "$object.directives"
