#include "simulation/synthesis.h"

#include <cmath>

namespace simtrove::simulation {

int roundHalfUp(double value) { return static_cast<int>(std::floor(value + 0.5)); }

}  // namespace simtrove::simulation
