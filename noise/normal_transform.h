// Standard normal deviates from a random stream (random_stream.h), by the
// Box-Muller transform, with no transcendental function of the C runtime:
// the logarithm is evaluated here in double with the project's series for
// floatLog's first step (numerics/random/float_log.h), relative error below
// 2^-40; sine and cosine by Taylor series on an eighth of the circle (exact
// quarter-turn reduction); the square root is IEEE's (exactly rounded).
//
// Positions 4b .. 4b+3 of a stream come from block b: words (0, 1) give the
// pair at 4b, 4b+1 and words (2, 3) the pair at 4b+2, 4b+3; for words (a, b)
// the pair is r cos(2 pi u2), r sin(2 pi u2) with r = sqrt(-2 log u1),
// u1 = (a + 1/2) / 2^32, u2 = b / 2^32. Each value thus depends only on its
// stream and position (no rejection: every block gives four).
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
