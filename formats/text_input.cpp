#include "formats/text_input.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace simtrove::formats {

Result<std::string> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Result<std::string>::failure(path + ": cannot read: " + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return Result<std::string>::failure(path + ": cannot read: input error");
    return bytes.str();
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

std::vector<std::string_view> splitWhitespace(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool isBlankOrComment(std::string_view line) {
    std::string_view t = trim(line);
    return t.empty() || t.front() == '#';
}

std::optional<int> parseInt(std::string_view token) {
    if (token.empty() || token.front() == '+') return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

std::optional<double> parseReal(std::string_view token) {
    if (token.empty() || token.front() == '+') return std::nullopt;
    double value = 0.0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value,
                                     std::chars_format::general);
    if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string located(const std::string& file, std::size_t line, const std::string& what) {
    return file + ":" + std::to_string(line) + ": " + what;
}

std::string quotedToken(std::string_view token) {
    constexpr std::size_t kShown = 40;
    std::string shown;
    for (char c : token.substr(0, kShown)) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            shown += hex;
        } else {
            shown += c;
        }
    }
    if (token.size() > kShown) shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace simtrove::formats
