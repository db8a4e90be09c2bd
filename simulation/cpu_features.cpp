#include "simulation/cpu_features.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define SIMTROVE_X86_CPUID 1
#include <cpuid.h>
#endif

namespace simtrove::simulation {

namespace {

#ifdef SIMTROVE_X86_CPUID
bool bit(unsigned value, int index) {
    return (value >> index) & 1u;
}

// XCR0, the state components the OS saves. Encoded as bytes, so that no
// target attribute is needed; only called when CPUID reports OSXSAVE.
unsigned long long enabledStateComponents() {
    unsigned low, high;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

CpuFeatures detect() {
    CpuFeatures features;
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return features;
    const bool fma = bit(ecx, 12), popcnt = bit(ecx, 23), osxsave = bit(ecx, 27),
               avx = bit(ecx, 28);
    if (!osxsave || !avx || !popcnt) return features;
    const unsigned long long xcr0 = enabledStateComponents();
    const bool ymmState = (xcr0 & 0x6) == 0x6;    // SSE and AVX registers
    const bool zmmState = (xcr0 & 0xE6) == 0xE6;  // and opmask, ZMM_Hi256, Hi16_ZMM
    if (!ymmState || !__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return features;
    features.avx2 = bit(ebx, 5) && fma;
    features.avx512 = zmmState && bit(ebx, 16) && bit(ebx, 17) && bit(ebx, 31);
    return features;
}
#else
CpuFeatures detect() {
    return {};
}
#endif

}  // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}

}  // namespace simtrove::simulation
