#include "analysis/report_analysis.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <set>

#include "analysis/contrast.h"
#include "analysis/drift.h"
#include "analysis/glm.h"
#include "analysis/prewhitening.h"

#ifndef SIMTROVE_VERSION
#define SIMTROVE_VERSION "unknown"
#endif

namespace simtrove::analysis {
namespace {

using formats::DesignFile;
using formats::Result;

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

struct Statistics {
    std::vector<Contrast> contrasts;
    std::vector<FittedContrast> fitted;
    bool automatic = false;
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

// The design-matrix columns (1-based, in the file) whose signal each statistic
// should detect in its tail: those of positive weight for the positive tail,
// of negative weight for the negative one, every weighted one for both.
std::vector<std::vector<int>> testedColumns(const std::vector<int>& fileColumns,
                                            const std::vector<Contrast>& contrasts, Tail tail) {
    auto columnsOf = [&](const std::vector<double>& weights) {
        std::vector<int> columns;
        for (std::size_t j = 0; j < weights.size(); ++j)
            if (weights[j] != 0.0 &&
                (tail == Tail::Both || (weights[j] > 0.0) == (tail == Tail::Positive)))
                columns.push_back(fileColumns[j]);
        return columns;
    };
    std::vector<std::vector<int>> tested;
    for (std::size_t j = 0; j < fileColumns.size(); ++j) {
        std::vector<double> unit(fileColumns.size(), 0.0);
        unit[j] = 1.0;
        tested.push_back(columnsOf(unit));
    }
    for (const Contrast& c : contrasts) tested.push_back(columnsOf(c.weights));
    return tested;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

ModelResult describeModel(const GlmModel& model, const ReportInput& input,
                          const std::vector<std::string>& predictors, int drift) {
    ModelResult m;
    m.noiseModel = input.noiseModel;
    m.highPassSeconds = input.highPassSeconds;
    m.tail = input.tail;
    m.smoothedAutocorrelation = input.noiseModel == NoiseModel::Ar1 && input.smoothAutocorrelation;
    m.predictors = int(predictors.size());
    m.driftRegressors = drift;
    m.columns = predictors;
    m.columnKinds.assign(predictors.size(), "predictor");
    for (int k = 1; k <= drift; ++k) {
        m.columns.push_back("drift " + std::to_string(k));
        m.columnKinds.push_back("drift");
    }
    m.columns.push_back("constant");
    m.columnKinds.push_back("constant");
    const int k = model.columns(), T = model.volumes();
    for (int j = 0; j < k; ++j)
        for (int t = 0; t < T; ++t) m.design.push_back(model.design(j, t));
    std::vector<double> centred(m.design);
    std::vector<double> norms(std::size_t(k), 0.0);
    for (int j = 0; j < k; ++j) {
        double* c = &centred[std::size_t(j) * std::size_t(T)];
        double mean = 0.0;
        for (int t = 0; t < T; ++t) mean += c[t];
        mean /= T;
        for (int t = 0; t < T; ++t) c[t] -= mean, norms[std::size_t(j)] += c[t] * c[t];
    }
    for (int a = 0; a < k; ++a)
        for (int b = 0; b < k; ++b) {
            double dot = 0.0;
            for (int t = 0; t < T; ++t)
                dot += centred[std::size_t(a) * std::size_t(T) + std::size_t(t)] *
                       centred[std::size_t(b) * std::size_t(T) + std::size_t(t)];
            const double n = std::sqrt(norms[std::size_t(a)] * norms[std::size_t(b)]);
            m.correlations.push_back(n > 0.0 ? dot / n : NAN);
        }
    m.rank = model.rank();
    m.degreesOfFreedom = model.degreesOfFreedom();
    m.constantExplained = model.constantExplained();
    return m;
}

double median(std::vector<float> values) {
    if (values.empty()) return 0.0;
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(half), values.end());
    return values[half];
}

// The peak voxel's data, fit and tested regressor.
void peakCourse(const GlmModel& model, const GlmMaps& maps, std::span<const float> samples,
                std::size_t voxel, StatisticResult* r) {
    const int T = model.volumes(), k = model.columns();
    for (int t = 0; t < T; ++t) {
        double fitted = 0.0, regressor = 0.0;
        for (int j = 0; j < k; ++j) {
            fitted += model.design(j, t) * maps.coefficient(j, voxel);
            regressor += model.design(j, t) * r->weights[std::size_t(j)];
        }
        r->peakSeries.push_back(samples[voxel * std::size_t(T) + std::size_t(t)]);
        r->peakFitted.push_back(fitted);
        r->peakRegressor.push_back(regressor);
    }
}

}  // namespace

std::string noiseModelName(NoiseModel model) {
    return model == NoiseModel::Ar1 ? "ar1" : "ols";
}

bool parseNoiseModel(const std::string& text, NoiseModel* model) {
    if (text != "ols" && text != "ar1") return false;
    *model = text == "ar1" ? NoiseModel::Ar1 : NoiseModel::Ols;
    return true;
}

std::string noiseModelDescription(NoiseModel model) {
    return model == NoiseModel::Ar1 ? "AR(1) prewhitening" : "ordinary least squares";
}

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

Result<ReportResults> analyseReport(const ReportInput& input) {
    using R = Result<ReportResults>;
    if (input.design.volumes != input.volumes)
        return R::failure("the design matrix has " + std::to_string(input.design.volumes) +
                          " volumes but the data have " + std::to_string(input.volumes));
    if (!input.truth.empty() && input.truth.size() != input.grid.voxels())
        return R::failure("the truth map has " + std::to_string(input.truth.size()) +
                          " voxels but the data have " + std::to_string(input.grid.voxels()));
    if (input.samples.size() != input.grid.voxels() * std::size_t(std::max(input.volumes, 0)))
        return R::failure("the data hold " + std::to_string(input.samples.size()) +
                          " samples, not voxels times volumes");
    std::vector<int> fileColumns;
    Result<DesignFile> columns = modelColumns(input.design, input.exclude, &fileColumns);
    if (!columns) return R::failure(columns.error());
    const DesignFile& design = columns.value();
    const int p = int(design.names.size());
    std::vector<float> values = design.values;
    const std::vector<std::vector<double>> drift =
        driftRegressors(input.volumes, input.repetitionTime, input.highPassSeconds);
    for (const std::vector<double>& d : drift)
        for (const double v : d) values.push_back(float(v));
    std::string error;
    const std::optional<GlmModel> model =
        GlmModel::create(values, p + int(drift.size()), input.volumes, &error);
    if (!model) return R::failure(error);
    Result<Statistics> chosen = chooseStatistics(input, *model, design.names);
    if (!chosen) return R::failure(chosen.error());
    const Statistics& statistics = chosen.value();

    GlmMaps maps = fitVoxels(*model, input.samples, statistics.fitted, p);
    const AutocorrelationBias bias = autocorrelationBias(*model);
    std::vector<float> rho = estimateAutocorrelation(*model, input.samples, bias);
    std::vector<std::uint8_t> varying(maps.voxels, 0);
    std::vector<float> varyingRho;
    for (std::size_t v = 0; v < maps.voxels; ++v)
        if (maps.residualSd[v] > 0.0f) varying[v] = 1, varyingRho.push_back(rho[v]);
    if (input.noiseModel == NoiseModel::Ar1) {
        if (input.smoothAutocorrelation) rho = smoothOverNeighbours(input.grid, rho, varying);
        Result<GlmMaps> whitened = fitVoxelsAr1(*model, input.samples, rho, statistics.fitted, p);
        if (!whitened) return R::failure(whitened.error());
        maps = std::move(whitened.value());
    }

    ReportResults results;
    ReportSource& source = results.source;
    source.dataFile = input.dataLabel;
    source.designFile = input.designLabel;
    source.truthFile = input.truthLabel;
    source.grid = input.grid;
    source.volumes = input.volumes;
    source.repetitionTime = input.repetitionTime;
    source.simulation = input.simulation;
    source.programVersion = SIMTROVE_VERSION;
    source.date = input.date.empty() ? utcNow() : input.date;
    results.model = describeModel(*model, input, design.names, int(drift.size()));
    results.model.automaticContrasts = statistics.automatic;
    results.model.whiteNoiseAutocorrelation = bias.whiteNoise();
    results.model.medianAutocorrelation = median(varyingRho);

    std::vector<std::string> names = design.names;
    SummaryContext context;
    context.model = &*model;
    for (const Contrast& c : statistics.contrasts) {
        names.push_back(c.name);
        context.expressions.push_back(c.expression);
    }
    context.truth = input.truth;
    context.tested = testedColumns(fileColumns, statistics.contrasts, input.tail);
    context.tail = input.tail;
    results.summary = summarise(maps, input.grid, input.volumes, names, input.levels, context);
    if (statistics.automatic)
        results.summary.predictors.erase(results.summary.predictors.begin(),
                                         results.summary.predictors.begin() + maps.predictors);

    std::vector<std::uint8_t> noise;
    if (!input.truth.empty())
        for (const int label : input.truth) noise.push_back(label == 0 ? 1 : 0);
    std::vector<std::string> shown;
    for (const PredictorSummary& s : results.summary.predictors) {
        shown.push_back(s.name);
        StatisticResult r;
        if (s.contrast)
            r.weights = statistics.fitted[std::size_t(s.statistic - maps.predictors)].weights;
        else {
            r.weights.assign(std::size_t(model->columns()), 0.0);
            r.weights[std::size_t(s.statistic)] = 1.0;
        }
        const std::span<const float> t = maps.tMap(s.statistic);
        r.t.assign(t.begin(), t.end());
        r.z.resize(t.size());
        for (std::size_t v = 0; v < t.size(); ++v) r.z[v] = zFromP(t[v], s.p[v], input.tail);
        if (!noise.empty())
            r.calibration = calibrate(t, s.p, noise, maps.degreesOfFreedom, s.thresholds[0].cut,
                                      s.thresholds[1].cut);
        r.clusters = findClusters(input.grid, t, s.above,
                                  s.truth ? std::span<const std::uint8_t>(s.truth->planted)
                                          : std::span<const std::uint8_t>());
        peakCourse(*model, maps, input.samples, s.peakVoxel, &r);
        results.statistics.push_back(std::move(r));
    }
    results.stems = fileStems(shown);
    results.mean = maps.mean;
    results.autocorrelation = std::move(rho);
    results.truth = input.truth;
    return results;
}

}  // namespace simtrove::analysis
