// How the suites parameterised by noise kernel print and name their parameter:
// by the kernel's name, so that test names are the same in every build.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "simulation/bulk_normals.h"

namespace simtrove::simulation {

inline void PrintTo(NoiseKernel kernel, std::ostream* os) {
    *os << noiseKernelName(kernel);
}

inline std::string kernelTestName(const ::testing::TestParamInfo<NoiseKernel>& info) {
    return noiseKernelName(info.param);
}

}  // namespace simtrove::simulation
