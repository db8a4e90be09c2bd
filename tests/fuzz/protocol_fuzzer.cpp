// The project's protocol text format: any input parses or fails with a message,
// and whatever parses survives being written and read back unchanged.
#include <cstdint>

#include "formats/protocol.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove::formats;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parseProtocolText(asText(data, size), "fuzz.prt");
    requireDocumentOrError(parsed);
    if (parsed.ok()) {
        const auto again =
            parseProtocolText(formatProtocolText(parsed.value(), "# again"), "again.prt");
        require(again.ok() && again.value() == parsed.value());
    }
    return 0;
}
