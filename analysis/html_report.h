// report.html: one self-contained page (inline style, no scripts, no external
// resources) with the pictures of the report and a table of figures per
// predictor. A predictor whose variance inflation exceeds 10 gets a warning
// that explains its small t values. Every text from the inputs is escaped.
#pragma once

#include <string>
#include <string_view>

#include "analysis/report_page.h"
#include "analysis/report_results.h"

namespace simtrove::analysis {

std::string formatHtmlReport(const ReportPage& page, const ReportResults& results);

std::string htmlEscape(std::string_view text);

}  // namespace simtrove::analysis
