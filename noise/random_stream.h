// Counter-based random streams: Philox4x32-10 (Random123), keyed by the seed
// and counted by the component, a stream number and a position.
//
// A stream is named by (seed, component, stream): the stream is usually a
// voxel (a time course) or a volume (a spatial field). Block b of a stream is
// the four words Philox4x32-10 gives for the counter
//   (b, component << 16 | attempt, stream low word, stream high word)
// under the key (seed low word, seed high word). Any block can be computed on
// its own, so a value depends only on where it is, never on the number of
// threads, the order of work or the platform. `attempt` is 0 for every draw
// made today (normal_transform.h needs one block per four normals); it leaves
// room for methods that need further blocks for the same positions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace simtrove::noise {

// One number per kind of draw, so that no two components share a stream.
enum class Component : std::uint32_t {
    System = 1,
    SystemImaginary = 2,  // the second channel of Rician noise
    Temporal = 3,
    Drift = 4,
    Physiological = 5,
    Spatial = 6,
    TrialAmplitude = 7,
    SubjectDraws = 8,  // a subject's variability (scenario/group.h)
    RunDraws = 9,      // a run's variability
    RunSeed = 10,      // the seed of each subject's run
};

struct StreamKey {
    std::uint64_t seed = 1;
    Component component = Component::System;
    std::uint64_t stream = 0;
};

using Block = std::array<std::uint32_t, 4>;

// Random123's Philox4x32-10, one block.
Block philoxBlock(const StreamKey& key, std::uint32_t block, std::uint32_t attempt);

// The same cipher written for the vector units: blocks firstBlock ..
// firstBlock + count - 1 at one attempt, word w of block i in words[w][i]
// (count at most kBlockBatch). Bit for bit philoxBlock's words.
inline constexpr std::size_t kBlockBatch = 16;
void philoxBlocks(const StreamKey& key, std::uint32_t firstBlock, std::uint32_t attempt,
                  std::size_t count, std::uint32_t words[4][kBlockBatch]);

// Block `block` of the kBlockBatch streams key.stream .. key.stream +
// kBlockBatch - 1 side by side: word w of stream key.stream + i in words[w][i]
// (the layout of a tile of voxels, each lane one voxel). Bit for bit philoxBlock's words.
void philoxStreams(const StreamKey& key, std::uint32_t block, std::uint32_t attempt,
                   std::uint32_t words[4][kBlockBatch]);

}  // namespace simtrove::noise
