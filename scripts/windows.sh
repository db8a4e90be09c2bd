#!/usr/bin/env bash
# The Windows builds, checked for real:
#  1. the 32-bit plug-in DLL and Tavimo.exe (MinGW i686, SSE2 arithmetic, static
#     runtimes, the classes and the host's calls on them compiled by clang in
#     the host's Microsoft C++ ABI); the DLL's export table is checked against
#     the names that compiler gives, and a host-side test program whose call
#     sites are compiled in that ABI creates, calls and deletes plug-in objects
#     (the same for the 64-bit build);
#  2. scripted runs of the Windows host and plug-in under Wine, in cluster mode and
#     in VOI mode, whose VTC, design matrix and log must be byte-identical to the
#     Linux runs with the same answers. The 32-bit build runs where this machine
#     can execute 32-bit programs (wine32); the 64-bit Windows build (MinGW
#     x86_64) runs under 64-bit Wine everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

# 32-bit Wine comes from the i386 architecture of the package archive.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update > /dev/null
fi
scripts/install-deps.sh g++-mingw-w64-i686 g++-mingw-w64-x86-64 clang-14 llvm-14 wine64 wine32:i386 \
    qemu-user-static
jobs=$(nproc)

# A kernel without 32-bit support runs i386 programs (the 32-bit Wine loader)
# through qemu's user-mode emulation, registered with binfmt_misc.
can_run_32bit() { /usr/lib/wine/wineserver32 --version > /dev/null 2>&1; }
if ! can_run_32bit; then
    binfmt=/proc/sys/fs/binfmt_misc
    [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt" || true
    if [[ -e $binfmt/register && ! -e $binfmt/qemu-i386 ]]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            > "$binfmt/register" || true
    fi
fi

build_windows() {  # build_windows <dir> <toolchain>
    cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="cmake/$2" -DCMAKE_BUILD_TYPE=Release \
          -DSIMTROVE_BUILD_TESTS=OFF -DSIMTROVE_BUILD_BENCH=OFF -DSIMTROVE_WERROR=ON > /dev/null
    cmake --build "$1" -j"$jobs" --target simtrove tavimo-standin msvc_abi_host_test > /dev/null
}

build_windows build/win32 toolchain-mingw-i686.cmake
tests/windows/check_dll_exports.sh build/win32/plugin/simtrove.dll i686
build_windows build/win64 toolchain-mingw-x86_64.cmake
tests/windows/check_dll_exports.sh build/win64/plugin/simtrove.dll x86_64

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSIMTROVE_WERROR=ON > /dev/null
cmake --build build/release -j"$jobs" --target simtrove tavimo-standin > /dev/null

runs=build/windows-runs
rm -rf "$runs" build/wine-prefix && mkdir -p "$runs"
export WINEDEBUG=-all WINEPREFIX=$PWD/build/wine-prefix WINEDLLOVERRIDES="mscoree,mshtml="
cluster=(--answers examples/cluster.answers)
voi=(--vois examples/two.voi --answers examples/voi.answers)

run_all() {  # run_all <name> <program...>: both modes into $runs/<name>-<mode>
    local name=$1
    shift
    "$@" "${cluster[@]}" --out "$runs/$name-cluster" > /dev/null 2>&1
    "$@" "${voi[@]}" --out "$runs/$name-voi" > /dev/null 2>&1
}

compare() {  # compare <name>: the outputs of <name> against the Linux runs
    local mode file status=0
    for mode in cluster voi; do
        for file in plugin_created.rtc simtrove.log $( [[ $mode == cluster ]] && echo Cluster.vtc || echo VOIs.vtc ); do
            if cmp -s "$runs/linux-$mode/$file" "$runs/$1-$mode/$file"; then
                echo "  $1 $mode $file: byte-identical ($(stat -c %s "$runs/$1-$mode/$file") bytes)"
            else
                echo "  $1 $mode $file: DIFFERS from the Linux run"
                status=1
            fi
        done
    done
    return $status
}

host_abi_test() {  # host_abi_test <wine loader> <build dir>
    if "$1" "$2/tests/windows/msvc_abi_host_test.exe" "$2/plugin/simtrove.dll" > "$2/host-abi.txt" 2>&1; then
        echo "  host ABI checks: $(grep -c '^ok' "$2/host-abi.txt") passed"
    else
        echo "  host ABI checks FAILED:"
        sed 's/^/    /' "$2/host-abi.txt"
        return 1
    fi
}

run_all linux build/release/standin/tavimo-standin
wine_loader=/usr/lib/wine/wine64
status=0
echo "== 64-bit Windows build under Wine"
host_abi_test "$wine_loader" build/win64 || status=1
run_all win64 "$wine_loader" build/win64/standin/Tavimo.exe
compare win64 || status=1
if can_run_32bit; then
    echo "== 32-bit Windows build under Wine"
    host_abi_test /usr/lib/wine/wine build/win32 || status=1
    run_all win32 /usr/lib/wine/wine build/win32/standin/Tavimo.exe
    compare win32 || status=1
else
    echo "== 32-bit Windows build not run: this machine cannot execute 32-bit programs (no wine32)"
fi
exit $status
