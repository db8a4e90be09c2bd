// The answers file: any input parses or fails with a message.
#include <cstdint>

#include "standin/dialogs.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove::standin;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parseAnswersText(asText(data, size), "fuzz.answers");
    requireDocumentOrError(parsed);
    if (parsed.ok())
        for (const AnswerLine& answer : parsed.value().answers) require(answer.line >= 1);
    return 0;
}
