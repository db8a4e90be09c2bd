// Standard normal deviates from a random stream (random_stream.h), by the
// polar method, with no transcendental function of the C runtime: the
// logarithm is evaluated here in double with the project's series for
// floatLog's first step (numerics/random/float_log.h), relative error below
// 2^-40, and the square root is IEEE's (exactly rounded).
//
// Positions 4b .. 4b+3 of a stream come from block b: words (0, 1) give the
// pair at 4b, 4b+1 and words (2, 3) the pair at 4b+2, 4b+3, each word w as the
// uniform u = (int32(w) + 0.5) / 2^31 in (-1, 1). A pair with u^2 + v^2 >= 1
// is drawn again from the same words of the block's next attempt. Each value
// thus depends only on its stream and position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "noise/random_stream.h"

namespace simtrove::noise {

// log(x) for finite x > 0, in double (no C runtime call), relative error below 2^-40.
double naturalLog(double x);

// out[i] = the standard normal at position first + i of the stream, i < n.
void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n);

}  // namespace simtrove::noise
