// The streams are Random123's Philox4x32-10: its published known answers, and
// the batched cipher against Random123's own scalar one, bit for bit.
#include "noise/random_stream.h"

#include <Random123/philox.h>
#include <gtest/gtest.h>

namespace simtrove::noise {
namespace {

// Known answers of Philox4x32-10 as Random123 publishes them (kat_vectors):
// counter, key -> words.
TEST(PhiloxBlock, GivesTheKnownAnswers) {
    // Counter (0, 0, 0, 0), key (0, 0).
    StreamKey zero{0, Component(0), 0};
    EXPECT_EQ(philoxBlock(zero, 0, 0), (Block{0x6627e8d5u, 0xe169c58du, 0xbc57ac4cu, 0x9b00dbd8u}));
    // Counter (243f6a88, 85a308d3, 13198a2e, 03707344), key (a4093822, 299f31d0):
    // the middle word is component 0x85a3, attempt 0x08d3.
    StreamKey pi{0x299f31d0a4093822ull, Component(0x85a3), 0x0370734413198a2eull};
    EXPECT_EQ(philoxBlock(pi, 0x243f6a88u, 0x08d3u),
              (Block{0xd16cfe09u, 0x94fdccebu, 0x5001e420u, 0x24126ea1u}));
}

// Both batches: 16 blocks of one stream, and one block of 16 streams.
TEST(PhiloxBlocks, AreRandom123sScalarCipherBitForBit) {
    const StreamKey keys[] = {{1, Component::System, 0},
                              {0xFFFFFFFFFFFFFFFFull, Component::Spatial, 0xFFFFFFFFFFFFFFF8ull},
                              {42, Component::TrialAmplitude, 0xFFFFFFF9ull}};
    const r123::Philox4x32 cipher;
    for (const StreamKey& key : keys)
        for (std::uint32_t first : {0u, 17u, 0xFFFFFFF0u})
            for (std::uint32_t attempt : {0u, 1u, 65535u})
                for (bool acrossStreams : {false, true}) {
                    std::uint32_t words[4][kBlockBatch];
                    if (acrossStreams)
                        philoxStreams(key, first, attempt, words);
                    else
                        philoxBlocks(key, first, attempt, kBlockBatch, words);
                    for (std::size_t i = 0; i < kBlockBatch; ++i) {
                        const std::uint64_t stream = key.stream + (acrossStreams ? i : 0);
                        const std::uint32_t block = first + std::uint32_t(acrossStreams ? 0 : i);
                        const r123::Philox4x32::ctr_type counter = {
                            {block, (std::uint32_t(key.component) << 16) | attempt,
                             std::uint32_t(stream), std::uint32_t(stream >> 32)}};
                        const r123::Philox4x32::key_type k = {
                            {std::uint32_t(key.seed), std::uint32_t(key.seed >> 32)}};
                        const auto expected = cipher(counter, k);
                        for (std::size_t w = 0; w < 4; ++w)
                            ASSERT_EQ(words[w][i], expected.v[w])
                                << (acrossStreams ? "stream " : "block ") << i;
                    }
                }
}

}  // namespace
}  // namespace simtrove::noise
