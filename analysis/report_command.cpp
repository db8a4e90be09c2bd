#include "analysis/report_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include "standin/nifti_export.h"
#include "analysis/figures.h"
#include "analysis/glm.h"
#include "analysis/html_report.h"
#include "analysis/json_report.h"
#include "analysis/nifti_input.h"
#include "analysis/png_writer.h"
#include "standin/vtc_file.h"

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;
using standin::Result;

constexpr int kExitError = 2;

bool parseAlpha(const std::string& text, double* alpha) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end || !(v > 0.0 && v < 1.0)) return false;
    *alpha = v;
    return true;
}

Result<ReportInput> readInputs(const ReportOptions& options) {
    using R = Result<ReportInput>;
    ReportInput input;
    input.dataLabel = fs::path(options.data).filename().string();
    input.designLabel = fs::path(options.design).filename().string();
    input.exclude = options.exclude;
    input.alpha = options.alpha;
    if (standin::hasNiftiExtension(options.data)) {
        Result<VolumeSeries> series = readNiftiSeries(options.data);
        if (!series) return R::failure(series.error());
        input.grid = series.value().grid;
        input.volumes = series.value().volumes;
        input.repetitionTime = series.value().repetitionTime;
        input.samples = std::move(series.value().samples);
    } else {
        Result<standin::VtcFile> vtc = standin::readVtcFile(options.data);
        if (!vtc) return R::failure(vtc.error());
        const standin::VtcGeometry& g = vtc.value().geometry;
        input.grid.dims = {g.dimX(), g.dimY(), g.dimZ()};
        input.grid.start = {g.xStart, g.yStart, g.zStart};
        input.grid.resolution = g.resolution;
        input.volumes = g.timePoints;
        input.repetitionTime = g.repetitionTime;
        input.samples = std::move(vtc.value().samples);
    }
    Result<DesignFile> design = readDesignMatrix(options.design);
    if (!design) return R::failure(design.error());
    input.design = std::move(design.value());
    return input;
}

// The design without the excluded predictors; an unknown name is an error.
Result<DesignFile> modelColumns(const DesignFile& design, const std::vector<std::string>& exclude) {
    for (const std::string& name : exclude)
        if (std::find(design.names.begin(), design.names.end(), name) == design.names.end())
            return Result<DesignFile>::failure("--exclude " + name +
                                               ": the design matrix has no such predictor");
    DesignFile kept;
    kept.volumes = design.volumes;
    for (std::size_t j = 0; j < design.names.size(); ++j) {
        if (std::find(exclude.begin(), exclude.end(), design.names[j]) != exclude.end()) continue;
        kept.names.push_back(design.names[j]);
        const auto first = design.values.begin() + std::ptrdiff_t(j * std::size_t(design.volumes));
        kept.values.insert(kept.values.end(), first, first + design.volumes);
    }
    return kept;
}

standin::VtcGeometry mapGeometry(const VolumeGrid& grid, float repetitionTime) {
    standin::VtcGeometry g;
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
        std::ofstream out(path(name), std::ios::binary);
        out << content;
        out.close();
        return done(name, out ? "" : path(name) + ": cannot write");
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

Result<ReportSummary> writeReport(const ReportInput& input, const std::string& outDir,
                                  std::vector<std::string>* written) {
    using R = Result<ReportSummary>;
    if (input.design.volumes != input.volumes)
        return R::failure("the design matrix has " + std::to_string(input.design.volumes) +
                          " volumes but the data have " + std::to_string(input.volumes));
    Result<DesignFile> columns = modelColumns(input.design, input.exclude);
    if (!columns) return R::failure(columns.error());
    const DesignFile& design = columns.value();
    std::string error;
    const std::optional<GlmModel> model =
        GlmModel::create(design.values, int(design.names.size()), input.volumes, &error);
    if (!model) return R::failure(error);
    const GlmMaps maps = fitVoxels(*model, input.samples);
    ReportSummary summary =
        summarise(maps, input.grid, input.volumes, design.names, input.alpha, &*model);

    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) return R::failure(outDir + ": cannot create the folder: " + ec.message());
    Folder folder(outDir, written);
    ReportPage page;
    page.dataFile = input.dataLabel;
    page.designFile = input.designLabel;
    page.grid = input.grid;
    page.design = {"design_matrix.png", 0, 0,
                   "The design matrix: one column per predictor and the constant (C), volumes "
                   "downwards."};
    if (!(error = folder.png(&page.design,
                             drawDesignMatrix(design.names, design.values, input.volumes)))
             .empty())
        return R::failure(error);

    const std::vector<std::string> stems = fileStems(design.names);
    const standin::VtcGeometry mapGrid = mapGeometry(input.grid, input.repetitionTime);
    std::size_t strongest = 0;
    float strongestT = -1.0f;
    for (std::size_t j = 0; j < stems.size(); ++j) {
        const PredictorSummary& s = summary.predictors[j];
        PredictorFiles files;
        files.tMap = "tmap_" + stems[j] + ".nii.gz";
        error = folder.done(files.tMap, standin::writeNiftiFile(folder.path(files.tMap), mapGrid,
                                                                maps.tMap(int(j))));
        if (!error.empty()) return R::failure(error);
        files.slices = {"slices_" + stems[j] + ".png", 0, 0,
                        "Predictor " + s.name +
                            ": three planes through the strongest voxel, t above the threshold "
                            "over the mean image."};
        if (!(error = folder.png(&files.slices, drawSlices(input.grid, maps, summary, int(j))))
                 .empty())
            return R::failure(error);
        files.timeCourse = {
            "timecourse_" + stems[j] + ".png", 0, 0,
            "Predictor " + s.name + ": time course of the strongest voxel with the fitted model."};
        if (!(error = folder.png(&files.timeCourse,
                                 drawTimeCourse(*model, maps, input.samples, input.grid,
                                                s.peakVoxel, int(j), s.name)))
                 .empty())
            return R::failure(error);
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

Result<ReportOptions> parseReportArguments(const std::vector<std::string>& args) {
    using R = Result<ReportOptions>;
    ReportOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string v;
        if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "--design" || a == "--out" || a == "--exclude" || a == "--alpha") {
            if (!value(&v) || v.empty()) return R::failure(a + " needs a value");
            if (a == "--design") options.design = v;
            if (a == "--out") options.outDir = v;
            if (a == "--exclude") options.exclude.push_back(v);
            if (a == "--alpha" && !parseAlpha(v, &options.alpha))
                return R::failure("--alpha " + v + ": expected a number between 0 and 1");
        } else if (a.size() > 1 && a[0] == '-') {
            return R::failure(a + ": unknown option (see tavimo-standin report --help)");
        } else if (options.data.empty()) {
            options.data = a;
        } else {
            return R::failure(a + ": only one data file can be analysed");
        }
    }
    if (options.help) return options;
    if (options.data.empty()) return R::failure("no data file (a .vtc, .nii or .nii.gz file)");
    if (options.design.empty()) return R::failure("no design matrix (--design FILE)");
    return options;
}

std::string reportUsage() {
    return R"(Usage: tavimo-standin report DATA --design FILE [OPTION]...
Fits the GLM (every predictor of the design matrix plus a constant) to every
voxel of DATA (a .vtc file or a .nii/.nii.gz image) and writes a report: t-maps
(NIfTI), pictures (PNG), report.html and report.json.

  --design FILE     design matrix file (plugin_created.rtc), one row per volume
  --out DIR         report folder (default: report; created)
  --exclude NAME    leave this predictor out of the model (repeatable), e.g. a
                    rest condition when the conditions fill the whole run
  --alpha A         family-wise error rate of the Bonferroni threshold
                    (default 0.05)
  -h, --help        show this text and exit

Exit status: 0 when the report was written, 2 on errors.
)";
}

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Result<ReportOptions> options = parseReportArguments(args);
    if (!options) {
        err << "tavimo-standin report: " << options.error() << "\n";
        return kExitError;
    }
    if (options.value().help) {
        out << reportUsage();
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
    for (const PredictorSummary& s : summary.value().predictors) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "%.200s: peak t %.2f at (%d, %d, %d), %zu voxels with p < %.3g",
                      s.name.c_str(), double(s.peakT), s.peakGrid[0], s.peakGrid[1], s.peakGrid[2],
                      s.voxelsAbove, summary.value().pThreshold);
        out << line;
        if (s.meanPercentChange) {
            std::snprintf(line, sizeof line, ", mean signal change %.2f %%", *s.meanPercentChange);
            out << line;
        }
        out << "\n";
    }
    return 0;
}

}  // namespace simtrove::analysis
