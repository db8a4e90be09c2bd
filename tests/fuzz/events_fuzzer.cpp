// events.tsv tables at several repetition times, and the reader that tells the
// two protocol formats apart by content.
#include <cstdint>

#include "formats/protocol.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove::formats;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const double repetitionTimes[] = {2.0, 0.72, 1.0, 0.01, 10.0, 2.5};
    const double tr = repetitionTimes[data[0] % 6];
    const std::string_view text = asText(data + 1, size - 1);
    const auto events = parseEventsTsv(text, "fuzz.tsv", tr);
    requireDocumentOrError(events);
    if (events.ok())
        for (const Condition& condition : events.value().conditions)
            for (const Interval& interval : condition.intervals)
                require(interval.first >= 1 && interval.first <= interval.last);
    requireDocumentOrError(parseProtocolFile(text, "fuzz.any", tr));
    return 0;
}
