// SIMTROVE_VECTOR_CLONES before a function compiles it for AVX-512, AVX2 and
// plain x86-64, the widest the CPU runs chosen when the program loads (GCC on
// x86-64 Linux; elsewhere only the plain version). Every version gives the
// same bits: the tree compiles without contraction into FMA or reassociation
// (-ffp-contract=off, no fast-math), so the wider versions only run the same
// IEEE operations on more lanes at once. Helpers meant to run at the caller's
// width are marked SIMTROVE_INLINE_LANES (a call would run them plainly).
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define SIMTROVE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define SIMTROVE_VECTOR_CLONES
#endif

#if defined(__GNUC__)
#define SIMTROVE_INLINE_LANES __attribute__((always_inline)) inline
#else
#define SIMTROVE_INLINE_LANES inline
#endif

#include <cstddef>
#include <cstdint>
#include <vector>

namespace simtrove::noise {

// Vector values in memory from the heap, which aligns less than a vector value
// needs: `count` doubles at an address aligned to `alignment` bytes within
// `storage` (resized to fit). Never pass a less-aligned vector type to a
// template instead: the alignment attribute is dropped from template arguments.
inline double* alignedDoubles(std::vector<double>& storage, std::size_t count,
                              std::size_t alignment) {
    storage.resize(count + alignment / sizeof(double));
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(storage.data());
    return storage.data() + (alignment - at % alignment) % alignment / sizeof(double);
}

}  // namespace simtrove::noise
