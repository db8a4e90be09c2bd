// `tavimo-standin report`: fits the GLM to a simulated VTC (or a NIfTI image)
// and writes the report folder.
//
//   tavimo-standin report DATA [--design FILE] [--out DIR] [--exclude NAME]...
//                         [--contrast "NAME: EXPR"]... [--alpha A] [--fdr Q]
//                         [--p P] [--truth MAP]
//
// DATA is a .vtc file or a .nii/.nii.gz image; FILE is a design matrix file
// with one row per volume of DATA, by default designPathFor(DATA). The options
// are parsed with CLI11 (cli/command_line.h): --option=value, --version. The model holds every
// predictor of FILE except the excluded ones, plus a constant. The statistics are the predictors,
// then the contrasts (see contrast.h). When no contrast and no exclusion is given and the
// predictors together nearly reproduce the constant (constantExplained() above kFillsRun: the
// conditions fill the run), the statistics are each predictor against the others instead.
// Thresholds: Bonferroni at A, FDR at Q, uncorrected at P (thresholds.h).
// The truth map is MAP, else DATA's truthPathFor() when that file exists.
//
// The folder (default "report", created when missing) receives
// tmap_NAME.nii.gz, slices_NAME.png, timecourse_NAME.png and, with a truth
// evaluation, roc_NAME.png per statistic, design_matrix.png, tsnr.png,
// report.html and report.json (NAME: the statistic's name with every
// character other than letters, digits, '-' and '_' replaced by '_', made
// unique). Each file written is named on `err` as
// "tavimo-standin: wrote PATH"; a line per statistic goes to `out`.
// Exit status 0, or 2 with one line "tavimo-standin report: what" on `err`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/contrast.h"
#include "analysis/summary.h"
#include "formats/design_matrix.h"
#include "formats/result.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

inline constexpr double kFillsRun = 0.9;

struct ReportOptions {
    bool help = false;      // --help or --version: print printText and exit
    std::string printText;  // the help or version text
    std::string data;
    std::string design;
    bool designBeside = false;  // design found by name beside the data
    std::string outDir = "report";
    std::vector<std::string> exclude;
    std::vector<std::string> contrasts;  // "NAME: EXPR" as given
    ThresholdLevels levels;
    std::string truth;
};

formats::Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args);
std::string reportUsage();

// NAME_design.rtc beside DATA (NAME.vtc, NAME.nii or NAME.nii.gz): the design
// matrix the stand-in writes beside every saved VTC.
std::string designPathFor(const std::string& dataPath);

// The inputs of one report, already read.
struct ReportInput {
    std::string dataLabel, designLabel;  // file names shown on the page
    formats::VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;
    std::vector<float> samples;  // VTC layout
    formats::DesignFile design;
    std::vector<std::string> exclude;
    std::vector<std::string> contrasts;
    ThresholdLevels levels;
    std::string truthLabel;  // empty: no truth map
    std::vector<int> truth;  // labels per voxel, or empty
};

// Fits, draws and writes the folder; the summary, or what went wrong.
// `written` receives the path of every file written, in order.
formats::Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                           std::vector<std::string>* written);

// File-name stem for each predictor name, unique within the list.
std::vector<std::string> fileStems(const std::vector<std::string>& names);

// The lines that the command prints for one statistic: peak and Bonferroni
// count, then one line per threshold (with the truth figures when evaluated)
// and the ROC area.
std::string statisticLines(const PredictorSummary& s, const ReportSummary& summary);

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace simtrove::analysis
