// Reads typed values from a fuzzer's byte string. Once the bytes run out every
// read yields zero (or an empty text), so any input describes a complete run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace simtrove::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | byte();
        return value;
    }

    bool flag() { return byte() & 1; }

    // Any int, the extremes included.
    int anyInt() { return static_cast<int>(word()); }

    // An int in lo..hi (hi - lo below 2^32).
    int intIn(int lo, int hi) {
        const std::uint64_t span = std::uint64_t(std::int64_t(hi) - lo) + 1;
        return int(std::int64_t(lo) + std::int64_t(word() % span));
    }

    // Up to maxLength bytes, stopping early at a zero byte.
    std::string text(std::size_t maxLength) {
        std::string result;
        const std::size_t length = byte() % (maxLength + 1);
        for (std::size_t i = 0; i < length && position_ < size_; ++i)
            result.push_back(char(byte() | 1));
        return result;
    }

    bool exhausted() const { return position_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace simtrove::fuzz
