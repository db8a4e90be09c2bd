// What every reader fuzz target demands: a parsed document or a clear error.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace simtrove::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A failure must say what was wrong; a crash here marks a faulty reader.
template <typename R>
void requireDocumentOrError(const R& result) {
    if (!result.ok() && result.error().empty()) std::abort();
}

inline void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace simtrove::fuzz
