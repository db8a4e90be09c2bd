// The binary VTC reader: any bytes give a file whose samples match its header,
// or an error.
#include <cstdint>

#include "formats/vtc_file.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove::formats;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parseVtc(asText(data, size), "fuzz.vtc");
    requireDocumentOrError(parsed);
    if (parsed.ok()) {
        const VtcFile& file = parsed.value();
        require(geometryProblem(file.geometry).empty());
        require(file.samples.size() == file.geometry.sampleCount());
    }
    return 0;
}
