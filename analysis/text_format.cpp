#include "analysis/text_format.h"

#include <cstdio>

namespace simtrove::analysis {

std::string formatNumber(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string tripleText(const std::array<int, 3>& v) {
    char text[48];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", v[0], v[1], v[2]);
    return text;
}

}  // namespace simtrove::analysis
