// Small text formatting shared by the report's pictures and page.
#pragma once

#include <array>
#include <string>

namespace simtrove::analysis {

// One double through a printf pattern ("%.2f"); at most 63 characters.
std::string formatNumber(const char* pattern, double value);

// "(x, y, z)".
std::string tripleText(const std::array<int, 3>& v);

}  // namespace simtrove::analysis
