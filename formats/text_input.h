// Small, strict helpers shared by the text readers of the file formats.
//
// Lines are split at '\n' with a trailing '\r' removed, so files written on
// either platform read the same. Number parsers accept the whole token or
// nothing: no leading '+', no trailing characters, no overflow, finite reals.
// Errors are phrased "FILE:LINE: what" (located) or "FILE: what".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::formats {

// The whole file as bytes, or "PATH: cannot read: reason".
Result<std::string> readFileBytes(const std::string& path);

std::vector<std::string_view> splitLines(std::string_view text);
std::vector<std::string_view> splitFields(std::string_view line, char separator);
std::vector<std::string_view> splitWhitespace(std::string_view line);
std::string_view trim(std::string_view text);

// True when the line is blank or its first non-blank character is '#'.
bool isBlankOrComment(std::string_view line);

std::optional<int> parseInt(std::string_view token);
// A finite real number in plain decimal or exponent notation.
std::optional<double> parseReal(std::string_view token);

std::string located(const std::string& file, std::size_t line, const std::string& what);
// The token quoted for an error message, cut to a readable length.
std::string quotedToken(std::string_view token);

}  // namespace simtrove::formats
