#include "analysis/report_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>

#include "analysis/figures.h"
#include "analysis/glm.h"
#include "analysis/html_report.h"
#include "analysis/json_report.h"
#include "analysis/simulation_sidecar.h"
#include "cli/command_line.h"
#include "formats/nifti.h"
#include "formats/output_file.h"
#include "formats/vtc_file.h"

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;
using formats::DesignFile;
using formats::readDesignMatrix;
using formats::readNiftiSeries;
using formats::Result;
using formats::VolumeGrid;
using formats::VolumeSeries;

constexpr int kExitError = 2;

bool parseProbability(const std::string& text, double* p) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end || !(v > 0.0 && v < 1.0)) return false;
    *p = v;
    return true;
}

}  // namespace

void applyModelOptions(const ReportOptions& options, ReportInput* input) {
    input->exclude = options.exclude;
    input->contrasts = options.contrasts;
    input->levels = options.levels;
    input->noiseModel = options.noiseModel;
    input->smoothAutocorrelation = options.smoothAutocorrelation;
    input->highPassSeconds = options.highPassSeconds;
    input->tail = options.tail;
}

namespace {

Result<ReportInput> readInputs(const ReportOptions& options) {
    using R = Result<ReportInput>;
    ReportInput input;
    applyModelOptions(options, &input);
    input.dataLabel = fs::path(options.data).filename().string();
    input.designLabel = fs::path(options.design).filename().string();
    input.simulation = readSimulationSidecar(options.data);
    if (formats::hasNiftiExtension(options.data)) {
        Result<VolumeSeries> series = readNiftiSeries(options.data);
        if (!series) return R::failure(series.error());
        input.grid = series.value().grid;
        input.volumes = series.value().volumes;
        input.repetitionTime = series.value().repetitionTime;
        input.samples = std::move(series.value().samples);
    } else {
        Result<formats::VtcFile> vtc = formats::readVtcFile(options.data);
        if (!vtc) return R::failure(vtc.error());
        const formats::VtcGeometry& g = vtc.value().geometry;
        input.grid.dims = {g.dimX(), g.dimY(), g.dimZ()};
        input.grid.start = {g.xStart, g.yStart, g.zStart};
        input.grid.resolution = g.resolution;
        input.volumes = g.timePoints;
        input.repetitionTime = g.repetitionTime;
        input.samples = std::move(vtc.value().samples);
    }
    std::error_code missing;
    if (options.designBeside && !fs::exists(options.design, missing))
        return R::failure("no design matrix: " + options.design +
                          " is not beside the data (--design FILE names one)");
    Result<DesignFile> design = readDesignMatrix(options.design);
    if (!design) return R::failure(design.error());
    input.design = std::move(design.value());

    std::string truthPath = options.truth;
    if (truthPath.empty()) {
        const std::string beside = truthPathFor(options.data);
        std::error_code ec;
        if (!beside.empty() && fs::exists(beside, ec)) truthPath = beside;
    }
    if (!truthPath.empty()) {
        Result<std::vector<int>> truth =
            readTruthMap(truthPath, input.grid, int(input.design.names.size()));
        if (!truth) return R::failure(truth.error());
        input.truth = std::move(truth.value());
        input.truthLabel = fs::path(truthPath).filename().string();
    }
    return input;
}

formats::VtcGeometry mapGeometry(const VolumeGrid& grid, float repetitionTime) {
    formats::VtcGeometry g;
    const int r = grid.resolution;
    g.xStart = grid.start[0];
    g.yStart = grid.start[1];
    g.zStart = grid.start[2];
    g.xEnd = g.xStart + grid.dims[0] * r;
    g.yEnd = g.yStart + grid.dims[1] * r;
    g.zEnd = g.zStart + grid.dims[2] * r;
    g.resolution = r;
    g.timePoints = 1;
    g.repetitionTime = repetitionTime;
    return g;
}

class Folder {
  public:
    Folder(const std::string& dir, std::vector<std::string>* written)
        : dir_(dir), written_(written) {}
    std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
    // The PNG, and the SVG when `file` names one.
    std::string figure(ImageFile* file, const Canvas& canvas) {
        file->width = canvas.width();
        file->height = canvas.height();
        std::string error = done(file->file, canvas.writePng(path(file->file)));
        if (error.empty() && !file->svg.empty())
            error = done(file->svg, canvas.writeSvg(path(file->svg)));
        return error;
    }
    std::string map(const std::string& name, const formats::VtcGeometry& grid,
                    std::span<const float> values, const formats::StatisticIntent& intent) {
        formats::OutputFile out(path(name));
        std::string error =
            formats::writeNiftiStatisticMap(out.temporaryPath(), grid, values, intent);
        if (error.empty()) error = out.commit("the statistic map");
        return done(name, error);
    }
    std::string text(const std::string& name, const std::string& content) {
        return done(name, formats::writeFileAtomically(path(name), content, "the report"));
    }
    std::string done(const std::string& name, const std::string& error) {
        if (error.empty() && written_) written_->push_back(path(name));
        return error;
    }

  private:
    std::string dir_;
    std::vector<std::string>* written_;
};

// The t-, z- and p-maps of statistic j.
std::string writeMaps(Folder& folder, const ReportResults& r, std::size_t j,
                      const formats::VtcGeometry& grid, PredictorFiles* files) {
    const PredictorSummary& s = r.summary.predictors[j];
    const StatisticResult& st = r.statistics[j];
    const std::string& stem = r.stems[j];
    const std::string what = (s.contrast ? "contrast " : "predictor ") + s.name;
    const std::string tail = tailName(r.model.tail);
    const std::uint32_t df = r.model.degreesOfFreedom;
    files->tMap = "tmap_" + stem + ".nii.gz";
    files->zMap = "zmap_" + stem + ".nii.gz";
    files->pMap = "pmap_" + stem + ".nii.gz";
    const formats::StatisticIntent intents[3] = {
        {formats::kIntentTTest, float(df), "t",
         ("t of " + what + ", df " + std::to_string(df)).substr(0, 79)},
        {formats::kIntentZScore, 0.0f, "z", ("z of " + what + " (same p as t)").substr(0, 79)},
        {formats::kIntentPValue, 0.0f, "p",
         ("p of " + what + ", " + tail + " tail").substr(0, 79)}};
    std::string error = folder.map(files->tMap, grid, st.t, intents[0]);
    if (error.empty()) error = folder.map(files->zMap, grid, st.z, intents[1]);
    if (error.empty()) error = folder.map(files->pMap, grid, s.p, intents[2]);
    return error;
}

// The pictures of statistic j.
std::string drawStatistic(Folder& folder, const ReportResults& r, std::size_t j,
                          PredictorFiles* files) {
    const PredictorSummary& s = r.summary.predictors[j];
    const StatisticResult& st = r.statistics[j];
    const std::string& stem = r.stems[j];
    const std::string kind = (s.contrast ? "Contrast " : "Predictor ") + s.name;
    const int i = int(j);
    const std::string outlined = s.truth ? ", the planted voxels outlined." : ".";
    files->slices = {
        "slices_" + stem + ".png", 0, 0,
        kind + ": axial slices, t above the Bonferroni threshold over the mean image" + outlined,
        ""};
    std::string error = folder.figure(&files->slices, drawMontage(r, i));
    if (!error.empty()) return error;
    files->orthogonal = {"planes_" + stem + ".png", 0, 0,
                         kind + ": orthogonal planes through the " +
                             (s.truth ? "planted centre and the " : "") + "peak" + outlined,
                         ""};
    if (!(error = folder.figure(&files->orthogonal, drawOrthogonal(r, i))).empty()) return error;
    files->projections = {"mip_" + stem + ".png", 0, 0,
                          kind + ": maximum-intensity projections in three directions" + outlined,
                          ""};
    if (!(error = folder.figure(&files->projections, drawProjections(r, i))).empty()) return error;
    files->timeCourse = {"timecourse_" + stem + ".png", 0, 0,
                         kind +
                             ": time course of the peak voxel with the fitted model, the "
                             "conditions tested shaded.",
                         "timecourse_" + stem + ".svg"};
    if (!(error = folder.figure(&files->timeCourse, drawTimeCourse(r, i))).empty()) return error;
    if (st.calibration) {
        files->calibration = {"calibration_" + stem + ".png", 0, 0,
                              kind +
                                  ": the noise-only voxels' t against the model's t "
                                  "distribution.",
                              "calibration_" + stem + ".svg"};
        if (!(error = folder.figure(&files->calibration, drawCalibration(*st.calibration, kind)))
                 .empty())
            return error;
    }
    if (!s.truth) return error;
    files->roc = {"roc_" + stem + ".png", 0, 0,
                  kind +
                      ": ROC curve against the truth map (logarithmic false-positive axis), "
                      "the three thresholds marked.",
                  "roc_" + stem + ".svg"};
    return folder.figure(&files->roc, drawRoc(s));
}

}  // namespace

std::string renderReport(const ReportResults& r, const std::string& outDir,
                         std::vector<std::string>* written) {
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) return outDir + ": cannot create the folder: " + ec.message();
    Folder folder(outDir, written);
    ReportPage page;
    page.dataFile = r.source.dataFile;
    page.designFile = r.source.designFile;
    page.truthFile = r.source.truthFile;
    page.automaticContrasts = r.model.automaticContrasts;
    page.grid = r.source.grid;
    page.design = {"design_matrix.png", 0, 0,
                   "The design matrix: one column per predictor (and drift regressor) and the "
                   "constant (C), volumes downwards; the columns' correlations beside it.",
                   "design_matrix.svg"};
    std::string error = folder.figure(&page.design, drawDesignMatrix(r));
    if (!error.empty()) return error;

    const formats::VtcGeometry mapGrid = mapGeometry(r.source.grid, float(r.source.repetitionTime));
    std::size_t strongest = 0;
    float strongestT = -1.0f;
    for (std::size_t j = 0; j < r.summary.predictors.size(); ++j) {
        PredictorFiles files;
        if (!(error = writeMaps(folder, r, j, mapGrid, &files)).empty()) return error;
        if (!(error = drawStatistic(folder, r, j, &files)).empty()) return error;
        page.predictors.push_back(files);
        const float peak = std::fabs(r.summary.predictors[j].peakT);
        if (peak > strongestT) strongestT = peak, strongest = j;
    }
    // The tSNR slice goes through the strongest voxel of all, else the middle.
    page.tsnrSlice = r.summary.predictors.empty() ? r.source.grid.dims[2] / 2
                                                  : r.summary.predictors[strongest].peakGrid[2];
    page.tsnr = {"tsnr.png", 0, 0,
                 "Temporal signal-to-noise ratio (mean / sd over time) in the plane z = " +
                     std::to_string(page.tsnrSlice) + ".",
                 ""};
    if (!(error = folder.figure(&page.tsnr, drawTsnrSlice(r, page.tsnrSlice))).empty())
        return error;
    if (!(error = folder.text("report.html", formatHtmlReport(page, r))).empty()) return error;
    return folder.text("report.json", formatJsonReport(page, r));
}

Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                  std::vector<std::string>* written) {
    Result<ReportResults> results = analyseReport(input);
    if (!results) return Result<ReportSummary>::failure(results.error());
    const std::string error = renderReport(results.value(), outDir, written);
    if (!error.empty()) return Result<ReportSummary>::failure(error);
    return std::move(results.value().summary);
}

namespace {

constexpr const char* kReportDescription =
    "Fits the GLM (every predictor of the design matrix plus a constant) to every voxel of DATA "
    "(a .vtc file or a .nii/.nii.gz image) and writes a report: t-maps (NIfTI) of predictors "
    "and contrasts with their z- and p-maps, pictures (PNG and SVG), report.html and report.json.";

struct ReportCommandLine {
    CLI::App app;
    ReportOptions options;
    std::vector<std::string> data;
    std::string alpha, fdr, p;
    std::string noiseModel, tail, highPass;
    bool perVoxel = false;
};

std::unique_ptr<ReportCommandLine> makeReportCommandLine(const std::string& program) {
    auto line = std::make_unique<ReportCommandLine>();
    CLI::App& app = line->app;
    ReportOptions& o = line->options;
    cli::configureApp(app, program);
    app.description(kReportDescription);
    app.footer("\nExit status: 0 when the report was written, 2 on errors.");
    app.add_option("DATA", line->data, "the data: a .vtc file or a .nii/.nii.gz image")
        ->expected(0, 2)
        ->type_name("");
    app.add_option("--design", o.design,
                   "design matrix file, one row per volume (default: DATA's NAME_design.rtc "
                   "beside it)")
        ->type_name("FILE")
        ->expected(0, 1);
    app.add_option("--out", o.outDir, "report folder (default: report; created)")
        ->type_name("DIR")
        ->expected(0, 1);
    app.add_option("--exclude", o.exclude,
                   "leave this predictor out of the model (repeatable), e.g. a rest condition "
                   "when the conditions fill the whole run")
        ->type_name("NAME")
        ->expected(0, 1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--contrast", o.contrasts,
                   "also test a linear combination of predictors (repeatable), e.g. \"TvR: Task "
                   "- Rest\" or \"FH: 0.5*Faces + 0.5*Houses - Rest\"; without contrasts and "
                   "exclusions, conditions that fill the run are each tested against the others")
        ->type_name("\"NAME: EXPR\"")
        ->expected(0, 1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--alpha", line->alpha,
                   "family-wise error rate of the Bonferroni threshold (default 0.05)")
        ->type_name("A")
        ->expected(0, 1);
    app.add_option("--fdr", line->fdr,
                   "false discovery rate of the Benjamini-Hochberg threshold (default 0.05)")
        ->type_name("Q")
        ->expected(0, 1);
    app.add_option("--p", line->p, "uncorrected threshold (default 0.001)")
        ->type_name("P")
        ->expected(0, 1);
    app.add_option("--truth", o.truth,
                   "truth map of the simulation (default: DATA's NAME_truth.nii.gz when it "
                   "exists): detection figures, ROC curves and the null calibration over its "
                   "noise-only voxels")
        ->type_name("MAP")
        ->expected(0, 1);
    app.add_option("--noise-model", line->noiseModel,
                   "ols (default: ordinary least squares) or ar1 (each voxel's lag-1 "
                   "autocorrelation from the OLS residuals, bias-corrected and averaged over its "
                   "neighbours; data and design prewhitened and refitted)")
        ->type_name("M");
    app.add_flag("--ar1-per-voxel", line->perVoxel,
                 "with ar1: each voxel's own autocorrelation, not averaged");
    app.add_option("--high-pass", line->highPass,
                   "discrete-cosine drift regressors down to a period of S seconds in the model "
                   "(never in contrasts); default none")
        ->type_name("S");
    app.add_option("--tail", line->tail,
                   "positive (default), negative or both: which t values count as evidence for "
                   "every predictor and contrast")
        ->type_name("T");
    return line;
}

}  // namespace

Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args,
                                           const std::string& program) {
    using R = Result<ReportOptions>;
    std::unique_ptr<ReportCommandLine> line = makeReportCommandLine(program);
    const cli::ParseOutcome outcome = cli::parseArguments(line->app, args);
    if (outcome.kind == cli::ParseOutcome::Kind::Error)
        return R::failure(outcome.text + " (see " + program + " --help)");
    ReportOptions options = line->options;
    if (outcome.kind == cli::ParseOutcome::Kind::Print) {
        options.help = true;
        options.printText = outcome.text;
        return options;
    }
    for (const char* name : {"--design", "--out", "--truth"})
        if (line->app.count(name) > 0 && line->app[name]->as<std::string>().empty())
            return R::failure(std::string(name) + " needs a value");
    for (const std::vector<std::string>* list : {&options.exclude, &options.contrasts})
        for (const std::string& value : *list)
            if (value.empty())
                return R::failure(
                    std::string(list == &options.exclude ? "--exclude" : "--contrast") +
                    " needs a value");
    const std::pair<const char*, std::pair<const std::string*, double*>> levels[] = {
        {"--alpha", {&line->alpha, &options.levels.alpha}},
        {"--fdr", {&line->fdr, &options.levels.fdr}},
        {"--p", {&line->p, &options.levels.uncorrected}}};
    for (const auto& [name, level] : levels) {
        if (line->app.count(name) == 0) continue;
        if (level.first->empty()) return R::failure(std::string(name) + " needs a value");
        if (!parseProbability(*level.first, level.second))
            return R::failure(std::string(name) + " " + *level.first +
                              ": expected a number between 0 and 1");
    }
    if (line->data.size() > 1)
        return R::failure(line->data[1] + ": only one data file can be analysed");
    if (line->data.empty()) return R::failure("no data file (a .vtc, .nii or .nii.gz file)");
    options.data = line->data.front();
    if (options.design.empty()) {
        options.design = designPathFor(options.data);
        options.designBeside = true;
    }
    if (line->perVoxel) options.smoothAutocorrelation = false;
    if (line->app.count("--noise-model") > 0 &&
        !parseNoiseModel(line->noiseModel, &options.noiseModel))
        return R::failure("--noise-model " + line->noiseModel + ": expected ols or ar1");
    if (line->app.count("--tail") > 0 && !parseTail(line->tail, &options.tail))
        return R::failure("--tail " + line->tail + ": expected positive, negative or both");
    if (line->app.count("--high-pass") > 0) {
        const std::string& v = line->highPass;
        char* end = nullptr;
        options.highPassSeconds = std::strtod(v.c_str(), &end);
        if (end == v.c_str() || *end || !(options.highPassSeconds > 0.0) ||
            !std::isfinite(options.highPassSeconds))
            return R::failure("--high-pass " + v + ": expected a period in seconds above 0");
    }
    return options;
}

std::string reportUsage(const std::string& program) {
    return makeReportCommandLine(program)->app.help();
}

std::string designPathFor(const std::string& dataPath) {
    for (const char* extension : {".vtc", ".nii.gz", ".nii"}) {
        const std::string ending = extension;
        if (dataPath.size() > ending.size() &&
            dataPath.compare(dataPath.size() - ending.size(), ending.size(), ending) == 0)
            return dataPath.substr(0, dataPath.size() - ending.size()) + "_design.rtc";
    }
    return dataPath + "_design.rtc";
}

std::string statisticLines(const PredictorSummary& s, const ReportSummary& summary) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "%.200s: peak t %.2f at (%d, %d, %d), %zu voxels with p < %.3g", s.name.c_str(),
                  double(s.peakT), s.peakGrid[0], s.peakGrid[1], s.peakGrid[2], s.voxelsAbove,
                  summary.pThreshold);
    std::string text = line;
    if (s.meanPercentChange) {
        std::snprintf(line, sizeof line, ", mean signal change %.2f %%", *s.meanPercentChange);
        text += line;
    }
    text += "\n";
    for (const ThresholdCount& c : s.thresholds) {
        std::snprintf(line, sizeof line, "  %-11s %-6.3g %6zu voxels",
                      thresholdName(c.kind).c_str(), c.level, c.voxels);
        text += line;
        if (c.truth) {
            std::snprintf(line, sizeof line,
                          ", %zu true, %zu false positives, sensitivity %.3f, false discovery "
                          "proportion %.3f",
                          c.truth->truePositives, c.truth->falsePositives, c.truth->sensitivity,
                          c.truth->falseDiscoveryProportion);
            text += line;
        }
        text += "\n";
    }
    if (s.truth) {
        std::snprintf(line, sizeof line, "  ROC area %.4f (%zu planted, %zu noise voxels)\n",
                      s.truth->roc.area, s.truth->roc.planted, s.truth->roc.noise);
        text += line;
    }
    return text;
}

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const std::string& program) {
    const Result<ReportOptions> options = parseReportArguments(args, program);
    if (!options) {
        err << program << ": " << options.error() << "\n";
        return kExitError;
    }
    if (options.value().help) {
        out << options.value().printText;
        return 0;
    }
    Result<ReportInput> input = readInputs(options.value());
    if (!input) {
        err << program << ": " << input.error() << "\n";
        return kExitError;
    }
    const Result<ReportResults> results = analyseReport(input.value());
    if (!results) {
        err << program << ": " << results.error() << "\n";
        return kExitError;
    }
    std::vector<std::string> written;
    const std::string error = renderReport(results.value(), options.value().outDir, &written);
    // "tavimo-standin: wrote PATH", as the program's other files are named.
    const std::string writer = program.substr(0, program.find(' '));
    for (const std::string& path : written) err << writer << ": wrote " << path << "\n";
    if (!error.empty()) {
        err << program << ": " << error << "\n";
        return kExitError;
    }
    const ReportResults& r = results.value();
    if (r.model.automaticContrasts)
        out << "The conditions fill the run: each is tested against the others.\n";
    for (std::size_t j = 0; j < r.summary.predictors.size(); ++j) {
        out << statisticLines(r.summary.predictors[j], r.summary);
        // The null calibration at the first level, in words.
        const std::optional<NullCalibration>& c = r.statistics[j].calibration;
        if (c && !c->levels.empty())
            out << "  "
                << calibrationSentence(noiseModelDescription(r.model.noiseModel), c->levels[0])
                << "\n";
    }
    return 0;
}

}  // namespace simtrove::analysis
