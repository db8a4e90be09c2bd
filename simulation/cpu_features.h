// What this x86 processor and its operating system let the noise kernels use,
// asked at run time: CPUID for the instructions and XGETBV for the register
// state the OS saves on a context switch (an instruction set whose registers
// the OS does not save cannot be used, whatever CPUID says). Everything is
// false on other processors and compilers. Asked once, then remembered.
#pragma once

namespace simtrove::simulation {

struct CpuFeatures {
    bool avx2 = false;    // AVX2, FMA and POPCNT with the YMM state enabled
    bool avx512 = false;  // AVX-512 F, DQ and VL and POPCNT with the ZMM and mask state enabled
};

const CpuFeatures& cpuFeatures();

}  // namespace simtrove::simulation
