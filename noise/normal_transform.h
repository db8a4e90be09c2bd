// Standard normal deviates from a random stream (random_stream.h), by the
// Box-Muller transform in float, with no transcendental function of the C
// runtime: the logarithm by the atanh series of floatLog's first step
// (numerics/random/float_log.h) to z^11, sine and cosine by Taylor series on an
// eighth of the circle (exact quarter-turn reduction), the square root IEEE's
// (exactly rounded). Only +, -, *, / and sqrt on floats, in a fixed order, so
// every machine and vector width gives the same bits.
//
// Positions 4b .. 4b+3 of a stream come from block b: words (0, 1) give the
// pair at 4b, 4b+1 and words (2, 3) the pair at 4b+2, 4b+3; for words (a, b)
// the pair is r cos(2 pi u2), r sin(2 pi u2) with r = sqrt(-2 log u1),
// u1 = x / 2^32, x = min(2 float(a >> 1) + 1, 2^32 - 256) (so u1 lies in
// [2^-32, 1 - 2^-24], r in (0, 6.67)), u2 = b / 2^32. Each value thus depends
// only on its stream and position (no rejection: every block gives four).
#pragma once

#include <cstddef>
#include <cstdint>

#include "noise/random_stream.h"

namespace simtrove::noise {

// out[i] = the standard normal at position first + i of the stream, i < n.
void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n);
void standardNormals(const StreamKey& key, std::uint64_t first, float* out, std::size_t n);

// Normals of kTileLanes neighbouring streams side by side: tile[t * kTileLanes
// + j] = the normal at position t of stream first.stream + j, t < T (the same
// values as standardNormals, in the layout of a tile of voxels).
inline constexpr std::size_t kTileLanes = kBlockBatch;
void standardNormalTile(const StreamKey& first, float* tile, std::size_t T);

}  // namespace simtrove::noise
