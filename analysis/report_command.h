// `tavimo-standin report`: fits the GLM to a simulated VTC (or a NIfTI image)
// and writes the report folder.
//
//   tavimo-standin report DATA [--design FILE] [--out DIR] [--exclude NAME]...
//                         [--contrast "NAME: EXPR"]... [--alpha A] [--fdr Q]
//                         [--p P] [--truth MAP] [--noise-model ols|ar1]
//                         [--ar1-per-voxel] [--high-pass SECONDS]
//                         [--tail positive|negative|both]
//
// DATA is a .vtc file or a .nii/.nii.gz image; FILE is a design matrix file
// with one row per volume of DATA, by default designPathFor(DATA). The options
// are parsed with CLI11 (cli/command_line.h): --option=value, --version. The
// analysis (report_analysis.h) produces the ReportResults; renderReport() then
// writes, from those alone, the folder (default "report", created when
// missing): tmap_NAME.nii.gz (t, NIfTI intent 3 with the degrees of freedom),
// zmap_NAME.nii.gz and pmap_NAME.nii.gz, slices_NAME.png, timecourse_NAME.png
// and, with a truth evaluation, roc_NAME.png per statistic, design_matrix.png,
// tsnr.png, report.html and report.json (NAME: the statistic's name with every
// character other than letters, digits, '-' and '_' replaced by '_', made
// unique). Every file appears under its name only when complete
// (formats/output_file.h). Each file written is named on `err` as
// "tavimo-standin: wrote PATH"; the lines of each statistic go to `out`
// (statisticLines(), then with a truth map the null calibration at p < 0.05 in
// words). The truth map is MAP, else DATA's truthPathFor() when that file
// exists; the simulation's parameters come from DATA's sidecar
// (simulation_sidecar.h). Exit status 0, or 2 with one line
// "PROGRAM: what" on `err` (PROGRAM "tavimo-standin report" or "simtrove report").
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/report_analysis.h"
#include "analysis/report_results.h"
#include "formats/result.h"

namespace simtrove::analysis {

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
    NoiseModel noiseModel = NoiseModel::Ols;
    bool smoothAutocorrelation = true;
    double highPassSeconds = 0.0;
    Tail tail = Tail::Positive;
};

// `program` names the command in the help, the version and every error line.
inline constexpr const char* kStandinReport = "tavimo-standin report";
formats::Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args,
                                                    const std::string& program = kStandinReport);
std::string reportUsage(const std::string& program = kStandinReport);

// Carries the options that shape the model and its statistics (exclusions,
// contrasts, threshold levels, noise model, high-pass, tail) into `input`.
void applyModelOptions(const ReportOptions& options, ReportInput* input);

// NAME_design.rtc beside DATA (NAME.vtc, NAME.nii or NAME.nii.gz): the design
// matrix the stand-in writes beside every saved VTC.
std::string designPathFor(const std::string& dataPath);

// Analyses and renders: the summary, or what went wrong. `written`
// receives the path of every file written, in order.
formats::Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                           std::vector<std::string>* written);

// The render phase: writes the folder from `results` alone. Empty on success,
// else what went wrong.
std::string renderReport(const ReportResults& results, const std::string& outDir,
                         std::vector<std::string>* written);

// The lines that the command prints for one statistic: peak and Bonferroni
// count, then one line per threshold (with the truth figures when evaluated)
// and the ROC area.
std::string statisticLines(const PredictorSummary& s, const ReportSummary& summary);

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const std::string& program = kStandinReport);

}  // namespace simtrove::analysis
