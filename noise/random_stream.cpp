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

}  // namespace simtrove::noise
