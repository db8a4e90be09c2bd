// The stimulation protocol document and its two file formats.
//
// A protocol is a list of conditions, each a name and intervals of volumes
// (1-based, inclusive). parseProtocolFile() tells the formats apart by content:
// a first line with tab-separated columns that include "onset" is an
// events.tsv table (seconds, converted with the repetition time); anything
// else must be the project's own text format that starts with
// "simtrove-protocol 1". Both readers return the document or one error line
// "FILE:LINE: what"; a protocol without any condition is an error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::formats {

// Condition names fit the host's condition record with room for the NUL.
inline constexpr std::size_t kMaxConditionNameLength = 255;
// Largest volume number a protocol may name (bounds the arithmetic on intervals).
inline constexpr int kMaxProtocolVolume = 1000000;

struct Interval {
    int first = 1;  // first volume, 1-based
    int last = 1;   // last volume, inclusive
    bool operator==(const Interval&) const = default;
};

struct Condition {
    std::string name;
    std::vector<Interval> intervals;
    bool operator==(const Condition&) const = default;
};

struct Protocol {
    std::vector<Condition> conditions;
    bool operator==(const Protocol&) const = default;
};

Result<Protocol> parseProtocolText(std::string_view text, const std::string& fileName);

// onset and duration in seconds; volume k covers [(k-1) * tr, k * tr). An event
// covers the volumes from the one holding its onset to the one holding its
// last instant; a zero duration covers one volume. Conditions appear in the
// order of their first event.
Result<Protocol> parseEventsTsv(std::string_view text, const std::string& fileName,
                                double repetitionTime);

bool looksLikeEventsTsv(std::string_view text);
Result<Protocol> parseProtocolFile(std::string_view bytes, const std::string& fileName,
                                   double repetitionTime);

// The project's text format, readable by parseProtocolText(); `comment` lines go first.
std::string formatProtocolText(const Protocol& protocol, const std::string& comment);

// The protocol as a BIDS events table: "onset", "duration" (seconds) and
// "trial_type", one row per interval, volume k starting at (k - 1) * tr.
// Rows go condition after condition, so that parseEventsTsv() numbers the
// conditions as here; a condition without intervals has no row and is lost,
// a tab in a name (which would split its row) becomes a blank.
std::string formatEventsTsv(const Protocol& protocol, double repetitionTime);

// The built-in two-condition block design of the main job: "Rest" and "Task"
// alternating in blocks of 10 volumes over `volumes` volumes, Rest first.
Protocol builtinBlockProtocol(int volumes);

}  // namespace simtrove::formats
