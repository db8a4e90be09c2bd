// How the suites parameterised by noise kernel print and name their parameter:
// by the kernel's name, so that test names are the same in every build; and
// when they may skip one: only when the processor, asked independently of the
// kernels' own detection, lacks it too.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

#include "simulation/bulk_normals.h"

namespace simtrove::simulation {

inline void PrintTo(NoiseKernel kernel, std::ostream* os) {
    *os << noiseKernelName(kernel);
}

inline std::string kernelTestName(const ::testing::TestParamInfo<NoiseKernel>& info) {
    return noiseKernelName(info.param);
}

// The flags of the first processor in /proc/cpuinfo; the kernel lists AVX
// and AVX-512 there only when it saves their registers. Empty elsewhere.
inline std::set<std::string> processorFlags() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) != 0) continue;
        std::istringstream words(line.substr(line.find(':') + 1));
        std::set<std::string> flags;
        for (std::string word; words >> word;) flags.insert(word);
        return flags;
    }
    return {};
}

// Whether the processor reports everything the kernel needs.
inline bool processorReports(NoiseKernel kernel) {
    static const std::set<std::string> flags = processorFlags();
    auto has = [&](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (flags.count(name) == 0) return false;
        return true;
    };
    switch (kernel) {
        case NoiseKernel::Portable:
            return true;
        case NoiseKernel::Avx2:
            return has({"avx", "avx2", "fma", "popcnt"});
        case NoiseKernel::Avx512:
            return has({"avx512f", "avx512dq", "avx512vl", "popcnt"});
    }
    return false;
}

// For SetUp: a kernel the machine lacks is skipped, visibly; one that the
// processor has but detection denies is a failure, not a skip.
#define SIMTROVE_SKIP_UNLESS_KERNEL_RUNS(kernel)                                                   \
    do {                                                                                           \
        if (noiseKernelAvailable(kernel)) break;                                                   \
        ASSERT_FALSE(processorReports(kernel))                                                     \
            << "the processor reports the " << noiseKernelName(kernel)                             \
            << " kernel's instructions, but detection says it cannot run";                         \
        GTEST_SKIP() << "the " << noiseKernelName(kernel) << " kernel cannot run on this machine"; \
    } while (false)

}  // namespace simtrove::simulation
