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
    # install-deps.sh updates again, with retries, since wine32:i386 is missing.
    apt-get update > /dev/null || true
fi
scripts/install-deps.sh g++-mingw-w64-i686 g++-mingw-w64-x86-64 clang-14 llvm-14 wine64 \
    qemu-user-static
# 32-bit Wine needs i386 libraries at the versions of the installed amd64 ones.
# Where the package archive cannot offer them (seen: a mirror serving a stale
# i386 security index), the 32-bit build is still built and its exports
# checked, and the lines below say that it was not run.
if ! scripts/install-deps.sh wine32:i386; then
    echo "== wine32:i386 cannot be installed from the package archive here (see apt's errors above)"
fi
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
# ---- Noise kernels, logarithm and noise-pass bench on the Windows builds ----
# 1. kernel_check on Linux and on each Windows build: its logarithm digests
#    must equal the Linux ones (whose logarithm the test suite checks against
#    MPFR on every float in (0, 1)), and every vector kernel must agree with
#    it. 64-bit Windows: every float in (0, 1). 32-bit Windows (under qemu
#    here, about a hundred times slower): every 4096th bit pattern from 1
#    (260,096 floats, every binade) and, through the exact path alone, every
#    65,536th (16,256 floats).
# 2. The scripted runs again with each kernel the Windows build finds here
#    forced through SIMTROVE_NOISE_KERNEL (the default run already used the
#    fastest): byte-identical to the Linux runs.
# 3. The noise-pass bench, 32-bit, once at a small size (a smoke test).
windows_kernel_checks() {  # windows_kernel_checks <name> <build dir> <stride> <loader>
    local name=$1 dir=$2 stride=$3 loader=$4 status=0 kernels kernel
    cmake -S . -B "$dir" -DSIMTROVE_BUILD_BENCH=ON > /dev/null
    cmake --build "$dir" -j"$jobs" --target kernel_check noise_pass_bench > /dev/null
    build/release/tests/windows/kernel_check "$stride" > "$runs/kernel-check-linux-$stride.txt"
    if ! "$loader" "$dir/tests/windows/kernel_check.exe" "$stride" > "$runs/kernel-check-$name.txt" 2>&1; then
        echo "  $name kernel_check: a kernel disagrees with floatLog"; status=1
    fi
    tr -d '\r' < "$runs/kernel-check-$name.txt" > "$runs/kernel-check-$name.unix.txt"
    cat "$runs/kernel-check-$name.unix.txt" | sed 's/^/  /'
    if diff <(grep '^floatLog' "$runs/kernel-check-linux-$stride.txt") \
            <(grep '^floatLog' "$runs/kernel-check-$name.unix.txt") > /dev/null; then
        echo "  $name logarithm digests: identical to Linux"
    else
        echo "  $name logarithm digests: DIFFER from Linux"; status=1
    fi
    read -r -a kernels <<< "$(sed -n 's/^kernels: //p' "$runs/kernel-check-$name.unix.txt")"
    for kernel in "${kernels[@]:0:${#kernels[@]}-1}"; do
        (export SIMTROVE_NOISE_KERNEL=$kernel; run_all "$name-$kernel" "$loader" "$dir/standin/Tavimo.exe")
        compare "$name-$kernel" || status=1
    done
    if [[ $name == win32 ]]; then
        "$loader" "$dir/bench/noise_pass/noise_pass_bench.exe" 1 --small | tr -d '\r' | tee "$runs/bench-$name.txt" | sed 's/^/  /'
        grep -q 'bit-identical to the reference pass: yes' "$runs/bench-$name.txt" || status=1
    fi
    return $status
}
cmake --build build/release -j"$jobs" --target kernel_check > /dev/null
echo "== Kernels and logarithm, 64-bit Windows build"
windows_kernel_checks win64 build/win64 1 "$wine_loader" || status=1
if can_run_32bit; then
    echo "== Kernels and logarithm, 32-bit Windows build"
    windows_kernel_checks win32 build/win32 4096 /usr/lib/wine/wine || status=1
fi
# ---- end of the kernel checks ----
exit $status
