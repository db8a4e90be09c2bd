// Filling the VTC sample array: the noise pass and the signal pass.
#pragma once

namespace simtrove::simulation {

// The int nearest to value, halves rounded toward +infinity (floor(value + 0.5)).
int roundHalfUp(double value);

}  // namespace simtrove::simulation
