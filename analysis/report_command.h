// `tavimo-standin report`: fits the GLM to a simulated VTC (or a NIfTI image)
// and writes the report folder.
//
//   tavimo-standin report DATA --design FILE [--out DIR] [--exclude NAME]...
//                         [--alpha A]
//
// DATA is a .vtc file or a .nii/.nii.gz image; FILE is a design matrix file
// with one row per volume of DATA. The model holds every predictor of FILE
// except the excluded ones, plus a constant. The folder (default "report",
// created when missing) receives tmap_NAME.nii.gz per predictor,
// design_matrix.png, slices_NAME.png and timecourse_NAME.png per predictor,
// tsnr.png, report.html and report.json (NAME: the predictor name with every
// character other than letters, digits, '-' and '_' replaced by '_', made
// unique). Each file written is named on `err` as
// "tavimo-standin: wrote PATH"; a line per predictor goes to `out`.
// Exit status 0, or 2 with one line "tavimo-standin report: what" on `err`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/design_reader.h"
#include "analysis/summary.h"
#include "analysis/volume_grid.h"
#include "standin/result.h"

namespace simtrove::analysis {

struct ReportOptions {
    bool help = false;
    std::string data;
    std::string design;
    std::string outDir = "report";
    std::vector<std::string> exclude;
    double alpha = kDefaultAlpha;
};

standin::Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args);
std::string reportUsage();

// The inputs of one report, already read.
struct ReportInput {
    std::string dataLabel, designLabel;  // file names shown on the page
    VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;
    std::vector<float> samples;  // VTC layout
    DesignFile design;
    std::vector<std::string> exclude;
    double alpha = kDefaultAlpha;
};

// Fits, draws and writes the folder; the summary, or what went wrong.
// `written` receives the path of every file written, in order.
standin::Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                           std::vector<std::string>* written);

// File-name stem for each predictor name, unique within the list.
std::vector<std::string> fileStems(const std::vector<std::string>& names);

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace simtrove::analysis
