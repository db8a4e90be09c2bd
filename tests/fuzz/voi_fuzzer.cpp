// The VOI file: any input parses or fails with a message; a parsed set holds
// whole voxels within the coordinate bound.
#include <cstdint>
#include <cstdlib>

#include "formats/voi_file.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove::formats;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parseVoiText(asText(data, size), "fuzz.voi");
    requireDocumentOrError(parsed);
    if (parsed.ok())
        for (const Voi& voi : parsed.value().vois) {
            require(voi.coordinates.size() % 3 == 0 && voi.name.size() <= kMaxVoiNameLength);
            for (int c : voi.coordinates) require(std::abs(c) <= kMaxVoiCoordinate);
        }
    return 0;
}
