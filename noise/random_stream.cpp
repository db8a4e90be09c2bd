#include "noise/random_stream.h"

#include <Random123/philox.h>

namespace simtrove::noise {

Block philoxBlock(const StreamKey& key, std::uint32_t block, std::uint32_t attempt) {
    const r123::Philox4x32 cipher;
    const r123::Philox4x32::ctr_type counter = {
        {block, (std::uint32_t(key.component) << 16) | (attempt & 0xFFFFu),
         std::uint32_t(key.stream), std::uint32_t(key.stream >> 32)}};
    const r123::Philox4x32::key_type cipherKey = {
        {std::uint32_t(key.seed), std::uint32_t(key.seed >> 32)}};
    const r123::Philox4x32::ctr_type words = cipher(counter, cipherKey);
    return {words.v[0], words.v[1], words.v[2], words.v[3]};
}

namespace {

constexpr std::uint32_t kMultiplier0 = 0xD2511F53u, kMultiplier1 = 0xCD9E8D57u;
constexpr std::uint32_t kWeyl0 = 0x9E3779B9u, kWeyl1 = 0xBB67AE85u;

// Ten rounds over the lanes, in plain loops the compiler turns into vector
// code (32 x 32 -> 64-bit products); one clone per instruction set, chosen at
// run time. The words do not depend on the clone.
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__)) && \
    defined(__linux__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void rounds(std::uint32_t* __restrict c0, std::uint32_t* __restrict c1,
            std::uint32_t* __restrict c2, std::uint32_t* __restrict c3, std::uint32_t k0,
            std::uint32_t k1) {
    for (int round = 0; round < 10; ++round) {
        for (std::size_t i = 0; i < kBlockBatch; ++i) {
            const std::uint64_t p0 = std::uint64_t(kMultiplier0) * c0[i];
            const std::uint64_t p1 = std::uint64_t(kMultiplier1) * c2[i];
            const std::uint32_t n0 = std::uint32_t(p1 >> 32) ^ c1[i] ^ k0;
            const std::uint32_t n2 = std::uint32_t(p0 >> 32) ^ c3[i] ^ k1;
            c0[i] = n0;
            c1[i] = std::uint32_t(p1);
            c2[i] = n2;
            c3[i] = std::uint32_t(p0);
        }
        k0 += kWeyl0;
        k1 += kWeyl1;
    }
}

}  // namespace

void philoxBlocks(const StreamKey& key, std::uint32_t firstBlock, std::uint32_t attempt,
                  std::size_t count, std::uint32_t words[4][kBlockBatch]) {
    const std::uint32_t middle = (std::uint32_t(key.component) << 16) | (attempt & 0xFFFFu);
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        words[0][i] = firstBlock + std::uint32_t(i);
        words[1][i] = middle;
        words[2][i] = std::uint32_t(key.stream);
        words[3][i] = std::uint32_t(key.stream >> 32);
    }
    (void)count;  // the whole batch is computed; the caller reads `count` blocks
    rounds(words[0], words[1], words[2], words[3], std::uint32_t(key.seed),
           std::uint32_t(key.seed >> 32));
}

}  // namespace simtrove::noise
