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
#include "analysis/png_writer.h"
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

Result<ReportInput> readInputs(const ReportOptions& options) {
    using R = Result<ReportInput>;
    ReportInput input;
    input.dataLabel = fs::path(options.data).filename().string();
    input.designLabel = fs::path(options.design).filename().string();
    input.exclude = options.exclude;
    input.contrasts = options.contrasts;
    input.levels = options.levels;
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

// The design without the excluded predictors; an unknown name is an error.
// `fileColumns` receives the 1-based column in the file of each kept one.
Result<DesignFile> modelColumns(const DesignFile& design, const std::vector<std::string>& exclude,
                                std::vector<int>* fileColumns) {
    for (const std::string& name : exclude)
        if (std::find(design.names.begin(), design.names.end(), name) == design.names.end())
            return Result<DesignFile>::failure("--exclude " + name +
                                               ": the design matrix has no such predictor");
    DesignFile kept;
    kept.volumes = design.volumes;
    for (std::size_t j = 0; j < design.names.size(); ++j) {
        if (std::find(exclude.begin(), exclude.end(), design.names[j]) != exclude.end()) continue;
        kept.names.push_back(design.names[j]);
        fileColumns->push_back(int(j) + 1);
        const auto first = design.values.begin() + std::ptrdiff_t(j * std::size_t(design.volumes));
        kept.values.insert(kept.values.end(), first, first + design.volumes);
    }
    return kept;
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
    std::string png(ImageFile* file, const RgbImage& image) {
        file->width = image.width();
        file->height = image.height();
        return done(file->file, writePng(path(file->file), image));
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

}  // namespace

std::vector<std::string> fileStems(const std::vector<std::string>& names) {
    std::vector<std::string> stems;
    std::set<std::string> taken;
    for (std::size_t j = 0; j < names.size(); ++j) {
        std::string stem;
        for (const char c : names[j]) {
            const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '-' || c == '_';
            stem += keep ? c : '_';
        }
        if (stem.empty()) stem = "predictor" + std::to_string(j + 1);
        const std::string base = stem;
        for (int n = 2; taken.count(stem); ++n) stem = base + "_" + std::to_string(n);
        taken.insert(stem);
        stems.push_back(stem);
    }
    return stems;
}

namespace {

// The statistics of a report beyond the predictors, fitted to the model.
struct Statistics {
    std::vector<Contrast> contrasts;
    std::vector<FittedContrast> fitted;
    bool automatic = false;  // each condition against the others, predictors left out
};

Result<Statistics> chooseStatistics(const ReportInput& input, const GlmModel& model,
                                    const std::vector<std::string>& names) {
    using R = Result<Statistics>;
    Statistics s;
    for (const std::string& text : input.contrasts) {
        Result<Contrast> c = parseContrast(text, names);
        if (!c) return R::failure(c.error());
        for (const Contrast& other : s.contrasts)
            if (other.name == c.value().name)
                return R::failure("--contrast \"" + text + "\": the name " + other.name +
                                  " is given twice");
        s.contrasts.push_back(std::move(c.value()));
    }
    if (s.contrasts.empty() && input.exclude.empty() && names.size() >= 2 &&
        model.constantExplained() > kFillsRun) {
        s.contrasts = eachAgainstOthers(names);
        s.automatic = true;
    }
    for (const Contrast& c : s.contrasts) {
        Result<FittedContrast> fitted = fitContrast(model, c);
        if (!fitted) return R::failure(fitted.error());
        s.fitted.push_back(std::move(fitted.value()));
    }
    return s;
}

// The design-matrix columns (1-based, in the file) that each statistic tests.
std::vector<std::vector<int>> testedColumns(const std::vector<int>& fileColumns,
                                            const std::vector<Contrast>& contrasts) {
    std::vector<std::vector<int>> tested;
    for (const int column : fileColumns) tested.push_back({column});
    for (const Contrast& c : contrasts) {
        std::vector<int> columns;
        for (std::size_t j = 0; j < c.weights.size(); ++j)
            if (c.weights[j] != 0.0) columns.push_back(fileColumns[j]);
        tested.push_back(std::move(columns));
    }
    return tested;
}

}  // namespace

Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                  std::vector<std::string>* written) {
    using R = Result<ReportSummary>;
    if (input.design.volumes != input.volumes)
        return R::failure("the design matrix has " + std::to_string(input.design.volumes) +
                          " volumes but the data have " + std::to_string(input.volumes));
    if (!input.truth.empty() && input.truth.size() != input.grid.voxels())
        return R::failure("the truth map has " + std::to_string(input.truth.size()) +
                          " voxels but the data have " + std::to_string(input.grid.voxels()));
    std::vector<int> fileColumns;
    Result<DesignFile> columns = modelColumns(input.design, input.exclude, &fileColumns);
    if (!columns) return R::failure(columns.error());
    const DesignFile& design = columns.value();
    std::string error;
    const std::optional<GlmModel> model =
        GlmModel::create(design.values, int(design.names.size()), input.volumes, &error);
    if (!model) return R::failure(error);
    Result<Statistics> chosen = chooseStatistics(input, *model, design.names);
    if (!chosen) return R::failure(chosen.error());
    const Statistics& statistics = chosen.value();
    const GlmMaps maps = fitVoxels(*model, input.samples, statistics.fitted);

    std::vector<std::string> names = design.names;
    SummaryContext context;
    context.model = &*model;
    for (const Contrast& c : statistics.contrasts) {
        names.push_back(c.name);
        context.expressions.push_back(c.expression);
    }
    context.truth = input.truth;
    context.tested = testedColumns(fileColumns, statistics.contrasts);
    ReportSummary summary =
        summarise(maps, input.grid, input.volumes, names, input.levels, context);
    // In place of predictors that the run's baseline confounds.
    if (statistics.automatic)
        summary.predictors.erase(summary.predictors.begin(),
                                 summary.predictors.begin() + maps.predictors);

    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) return R::failure(outDir + ": cannot create the folder: " + ec.message());
    Folder folder(outDir, written);
    ReportPage page;
    page.dataFile = input.dataLabel;
    page.designFile = input.designLabel;
    page.truthFile = input.truthLabel;
    page.automaticContrasts = statistics.automatic;
    page.grid = input.grid;
    page.design = {"design_matrix.png", 0, 0,
                   "The design matrix: one column per predictor and the constant (C), volumes "
                   "downwards."};
    if (!(error = folder.png(&page.design,
                             drawDesignMatrix(design.names, design.values, input.volumes)))
             .empty())
        return R::failure(error);

    std::vector<std::string> shownNames;
    for (const PredictorSummary& s : summary.predictors) shownNames.push_back(s.name);
    const std::vector<std::string> stems = fileStems(shownNames);
    const formats::VtcGeometry mapGrid = mapGeometry(input.grid, input.repetitionTime);
    std::size_t strongest = 0;
    float strongestT = -1.0f;
    for (std::size_t j = 0; j < stems.size(); ++j) {
        const PredictorSummary& s = summary.predictors[j];
        const std::string kind = s.contrast ? "Contrast " : "Predictor ";
        PredictorFiles files;
        files.tMap = "tmap_" + stems[j] + ".nii.gz";
        error =
            folder.done(files.tMap, formats::writeNiftiFile(folder.path(files.tMap), mapGrid,
                                                            maps.tMap(s.statistic), "the t-map"));
        if (!error.empty()) return R::failure(error);
        files.slices = {"slices_" + stems[j] + ".png", 0, 0,
                        kind + s.name +
                            ": three planes through the strongest voxel, t above the Bonferroni "
                            "threshold over the mean image" +
                            (s.truth ? ", the planted voxels outlined." : ".")};
        if (!(error = folder.png(&files.slices, drawSlices(input.grid, maps, summary, int(j))))
                 .empty())
            return R::failure(error);
        files.timeCourse = {
            "timecourse_" + stems[j] + ".png", 0, 0,
            kind + s.name + ": time course of the strongest voxel with the fitted model."};
        const std::span<const double> weights =
            s.contrast ? std::span<const double>(
                             statistics.fitted[std::size_t(s.statistic - maps.predictors)].weights)
                       : std::span<const double>();
        if (!(error = folder.png(&files.timeCourse,
                                 drawTimeCourse(*model, maps, input.samples, input.grid,
                                                s.peakVoxel, s.statistic, s.name, weights)))
                 .empty())
            return R::failure(error);
        if (s.truth) {
            files.roc = {"roc_" + stems[j] + ".png", 0, 0,
                         kind + s.name +
                             ": ROC curve over |t| against the truth map, with the three "
                             "thresholds marked."};
            if (!(error = folder.png(&files.roc, drawRoc(s))).empty()) return R::failure(error);
        }
        page.predictors.push_back(files);
        if (std::fabs(s.peakT) > strongestT) strongestT = std::fabs(s.peakT), strongest = j;
    }
    // The tSNR slice goes through the strongest voxel of all, else the middle.
    page.tsnrSlice = summary.predictors.empty() ? input.grid.dims[2] / 2
                                                : summary.predictors[strongest].peakGrid[2];
    page.tsnr = {"tsnr.png", 0, 0,
                 "Temporal signal-to-noise ratio (mean / sd over time) in the plane z = " +
                     std::to_string(page.tsnrSlice) + "."};
    if (!(error = folder.png(&page.tsnr, drawTsnrSlice(input.grid, summary, page.tsnrSlice)))
             .empty())
        return R::failure(error);
    if (!(error = folder.text("report.html", formatHtmlReport(page, summary))).empty())
        return R::failure(error);
    if (!(error = folder.text("report.json", formatJsonReport(page, summary))).empty())
        return R::failure(error);
    return summary;
}

namespace {

constexpr const char* kReportDescription =
    "Fits the GLM (every predictor of the design matrix plus a constant) to every voxel of DATA "
    "(a .vtc file or a .nii/.nii.gz image) and writes a report: t-maps (NIfTI) of predictors "
    "and contrasts, pictures (PNG), report.html and report.json.";

struct ReportCommandLine {
    CLI::App app;
    ReportOptions options;
    std::vector<std::string> data;
    std::string alpha, fdr, p;
};

std::unique_ptr<ReportCommandLine> makeReportCommandLine() {
    auto line = std::make_unique<ReportCommandLine>();
    CLI::App& app = line->app;
    ReportOptions& o = line->options;
    cli::configureApp(app, "tavimo-standin report");
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
                   "exists): detection figures and ROC curves")
        ->type_name("MAP")
        ->expected(0, 1);
    return line;
}

}  // namespace

Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args) {
    using R = Result<ReportOptions>;
    std::unique_ptr<ReportCommandLine> line = makeReportCommandLine();
    const cli::ParseOutcome outcome = cli::parseArguments(line->app, args);
    if (outcome.kind == cli::ParseOutcome::Kind::Error)
        return R::failure(outcome.text + " (see tavimo-standin report --help)");
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
    return options;
}

std::string reportUsage() {
    return makeReportCommandLine()->app.help();
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

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Result<ReportOptions> options = parseReportArguments(args);
    if (!options) {
        err << "tavimo-standin report: " << options.error() << "\n";
        return kExitError;
    }
    if (options.value().help) {
        out << options.value().printText;
        return 0;
    }
    Result<ReportInput> input = readInputs(options.value());
    if (!input) {
        err << "tavimo-standin report: " << input.error() << "\n";
        return kExitError;
    }
    std::vector<std::string> written;
    const Result<ReportSummary> summary =
        writeReport(input.value(), options.value().outDir, &written);
    for (const std::string& path : written) err << "tavimo-standin: wrote " << path << "\n";
    if (!summary) {
        err << "tavimo-standin report: " << summary.error() << "\n";
        return kExitError;
    }
    if (!summary.value().predictors.empty() && summary.value().predictors[0].contrast &&
        options.value().contrasts.empty())
        out << "The conditions fill the run: each is tested against the others.\n";
    for (const PredictorSummary& s : summary.value().predictors)
        out << statisticLines(s, summary.value());
    return 0;
}

}  // namespace simtrove::analysis
