#include "analysis/glm.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "numerics/arrays/arrays.h"
#include "numerics/linalg/svd.h"

namespace simtrove::analysis {
namespace {

// Singular values below this fraction of the largest count as zero, as in the
// library's own least-squares fit.
constexpr double kSingularThreshold = 1.0e-5;
// Squared length of the part of a unit coefficient vector inside the row space of
// the design below which the coefficient counts as not estimable.
constexpr double kNotEstimable = 1.0e-6;

// The 1-based work arrays of one decomposition, released on every path.
struct Decomposition {
    int m, n;
    float** u;
    float* w;
    float** v;
    Decomposition(int rows, int cols)
        : m(rows),
          n(cols),
          u(matrix(1, rows, 1, cols)),
          w(vector(1, cols)),
          v(matrix(1, cols, 1, cols)) {}
    ~Decomposition() {
        release_matrix(v, 1, n, 1, n);
        release_vector(w, 1, n);
        release_matrix(u, 1, m, 1, n);
    }
    Decomposition(const Decomposition&) = delete;
    Decomposition& operator=(const Decomposition&) = delete;
};

int dropSmallSingularValues(float* w, int n) {
    float wmax = 0.0f;
    for (int j = 1; j <= n; ++j)
        if (w[j] > wmax) wmax = w[j];
    const float threshold = float(wmax * kSingularThreshold);
    int rank = 0;
    for (int j = 1; j <= n; ++j) {
        // A singular value left negative by a stalled iteration is not trusted either.
        if (w[j] < threshold || w[j] <= 0.0f)
            w[j] = 0.0f;
        else
            ++rank;
    }
    return rank;
}

float tFromFit(double coefficient, double variance, bool constant) {
    if (constant) return 0.0f;
    if (variance > 0.0) {
        const double t = coefficient / std::sqrt(variance);
        if (t > FLT_MAX) return FLT_MAX;
        if (t < -FLT_MAX) return -FLT_MAX;
        return float(t);
    }
    if (coefficient > 0.0) return FLT_MAX;
    if (coefficient < 0.0) return -FLT_MAX;
    return 0.0f;
}

}  // namespace

std::optional<GlmModel> GlmModel::create(std::span<const float> predictors, int count, int volumes,
                                         std::string* error) {
    if (volumes < 1 || count < 0 ||
        predictors.size() != std::size_t(count) * std::size_t(volumes)) {
        *error = "the design matrix has no volumes or does not match its predictor count";
        return std::nullopt;
    }
    std::vector<double> columns(std::size_t(count + 1) * std::size_t(volumes), 1.0);
    for (std::size_t i = 0; i < predictors.size(); ++i) columns[i] = predictors[i];
    return createFromColumns(std::move(columns), count + 1, volumes, error);
}

std::optional<GlmModel> GlmModel::createFromColumns(std::vector<double> columns, int count,
                                                    int volumes, std::string* error) {
    if (volumes < 1 || count < 1 || columns.size() != std::size_t(count) * std::size_t(volumes)) {
        *error = "the design matrix has no volumes or does not match its column count";
        return std::nullopt;
    }
    GlmModel model;
    model.volumes_ = volumes;
    model.columns_ = count;
    const int k = model.columns_;
    model.design_ = std::move(columns);

    Decomposition d(volumes, k);
    for (int t = 0; t < volumes; ++t)
        for (int j = 0; j < k; ++j) d.u[t + 1][j + 1] = float(model.design(j, t));
    svd_decompose(d.u, volumes, k, d.w, d.v);
    if (svd_not_converged) {
        *error = "the decomposition of the design matrix did not converge";
        return std::nullopt;
    }
    model.rank_ = dropSmallSingularValues(d.w, k);
    if (model.rank_ >= volumes) {
        *error = "the design matrix leaves no degrees of freedom (" + std::to_string(volumes) +
                 " volumes, " + std::to_string(model.rank_) + " independent columns)";
        return std::nullopt;
    }

    // V diag(1/w) U^T and the diagonal of V diag(1/w^2) V^T; zeroed w drop out.
    model.estimator_.assign(std::size_t(k) * volumes, 0.0);
    model.covariance_.assign(std::size_t(k), 0.0);
    model.covarianceMatrix_.assign(std::size_t(k) * std::size_t(k), 0.0);
    for (int l = 1; l <= k; ++l) {
        if (d.w[l] == 0.0f) continue;
        const double w2 = double(d.w[l]) * d.w[l];
        for (int j = 1; j <= k; ++j) {
            model.rowSpace_.push_back(d.v[j][l]);
            for (int i = 1; i <= k; ++i)
                model.covarianceMatrix_[std::size_t(j - 1) * std::size_t(k) + std::size_t(i - 1)] +=
                    double(d.v[j][l]) * d.v[i][l] / w2;
        }
    }
    for (int j = 1; j <= k; ++j) {
        double* row = &model.estimator_[std::size_t(j - 1) * volumes];
        double inRowSpace = 0.0;
        for (int l = 1; l <= k; ++l) {
            if (d.w[l] == 0.0f) continue;
            const double factor = double(d.v[j][l]) / d.w[l];
            for (int t = 1; t <= volumes; ++t) row[t - 1] += factor * d.u[t][l];
            model.covariance_[std::size_t(j - 1)] += factor * factor;
            inRowSpace += double(d.v[j][l]) * d.v[j][l];
        }
        // A column the data cannot inform (an all-zero predictor) is only reached
        // through rounding noise in V; its variance would be meaningless.
        if (inRowSpace < kNotEstimable) model.covariance_[std::size_t(j - 1)] = 0.0;
    }
    return model;
}

bool GlmModel::estimable(std::span<const double> weights) const {
    if (weights.size() != std::size_t(columns_)) return false;
    double length = 0.0;
    for (const double c : weights) length += c * c;
    if (!(length > 0.0)) return false;
    // The squared length of c's projection onto the row space (rowSpace_ holds
    // one kept column of V after another) must be all of c's.
    double inside = 0.0;
    for (int m = 0; m < rank_; ++m) {
        double along = 0.0;
        for (int j = 0; j < columns_; ++j)
            along +=
                weights[std::size_t(j)] * rowSpace_[std::size_t(m) * columns_ + std::size_t(j)];
        inside += along * along;
    }
    return length - inside <= kNotEstimable * length;
}

double GlmModel::contrastVariance(std::span<const double> weights) const {
    double v = 0.0;
    for (int j = 0; j < columns_; ++j)
        for (int l = 0; l < columns_; ++l)
            v += weights[std::size_t(j)] * covariance(j, l) * weights[std::size_t(l)];
    return v;
}

double GlmModel::constantExplained() const {
    const int c = predictorCount();
    std::vector<double> unit(std::size_t(columns_), 0.0);
    unit[std::size_t(c)] = 1.0;
    // For an estimable constant, 1 / C_cc is the RSS of the constant column
    // regressed on the others; otherwise the predictors reproduce it exactly.
    if (!estimable(unit) || !(covariance(c, c) > 0.0)) return 1.0;
    return std::clamp(1.0 - 1.0 / (covariance(c, c) * volumes_), 0.0, 1.0);
}

std::span<const double> GlmModel::estimator(int j) const {
    return std::span<const double>(estimator_)
        .subspan(std::size_t(j) * volumes_, std::size_t(volumes_));
}

double GlmModel::varianceInflation(int j) const {
    double mean = 0.0;
    for (int t = 0; t < volumes_; ++t) mean += design(j, t);
    mean /= volumes_;
    double squares = 0.0;
    for (int t = 0; t < volumes_; ++t) squares += (design(j, t) - mean) * (design(j, t) - mean);
    return squares > 0.0 ? covarianceDiagonal(j) * squares : 0.0;
}

std::span<const float> GlmMaps::tMap(int j) const {
    return std::span<const float>(t).subspan(std::size_t(j) * voxels, voxels);
}

GlmMaps emptyMaps(const GlmModel& model, std::size_t voxels, int tested, int contrasts) {
    const int k = model.columns();
    const int p = tested < 0 ? model.predictorCount() : std::min(tested, model.predictorCount());
    GlmMaps maps;
    maps.predictors = p;
    maps.statistics = p + contrasts;
    maps.voxels = voxels;
    maps.columns = k;
    maps.degreesOfFreedom = model.degreesOfFreedom();
    maps.coefficients.assign(std::size_t(k) * voxels, 0.0f);
    maps.t.assign(std::size_t(p + contrasts) * voxels, 0.0f);
    maps.contrastEffects.assign(std::size_t(contrasts) * voxels, 0.0f);
    maps.mean.assign(voxels, 0.0f);
    maps.sd.assign(voxels, 0.0f);
    maps.residualSd.assign(voxels, 0.0f);
    return maps;
}

void fitVoxel(const GlmModel& model, const double* y, bool constant,
              std::span<const FittedContrast> contrasts, std::span<const double> variances,
              GlmMaps& maps, std::size_t v) {
    const int T = model.volumes();
    const int k = model.columns();
    const std::size_t n = maps.voxels;
    double b[64];
    std::vector<double> wide;
    double* coefficients = b;
    if (k > 64) {
        wide.resize(std::size_t(k));
        coefficients = wide.data();
    }
    for (int j = 0; j < k; ++j) {
        const std::span<const double> e = model.estimator(j);
        double s = 0.0;
        for (int t = 0; t < T; ++t) s += e[std::size_t(t)] * y[t];
        coefficients[j] = s;
    }
    double rss = 0.0;
    for (int t = 0; t < T; ++t) {
        double fitted = 0.0;
        for (int j = 0; j < k; ++j) fitted += model.design(j, t) * coefficients[j];
        const double r = y[t] - fitted;
        rss += r * r;
    }
    const double s2 = rss / model.degreesOfFreedom();
    for (int j = 0; j < k; ++j) maps.coefficients[std::size_t(j) * n + v] = float(coefficients[j]);
    for (int j = 0; j < maps.predictors; ++j) {
        const double c = model.covarianceDiagonal(j);
        maps.t[std::size_t(j) * n + v] =
            c > 0.0 ? tFromFit(coefficients[j], s2 * c, constant) : 0.0f;
    }
    for (std::size_t i = 0; i < contrasts.size(); ++i) {
        const FittedContrast& contrast = contrasts[i];
        double effect = 0.0;
        for (int j = 0; j < k; ++j) effect += contrast.weights[std::size_t(j)] * coefficients[j];
        maps.contrastEffects[i * n + v] = float(effect);
        maps.t[(std::size_t(maps.predictors) + i) * n + v] =
            variances[i] > 0.0 ? tFromFit(effect, s2 * variances[i], constant) : 0.0f;
    }
    maps.residualSd[v] = constant ? 0.0f : float(std::sqrt(s2));
}

GlmMaps fitVoxels(const GlmModel& model, std::span<const float> samples,
                  std::span<const FittedContrast> contrasts, int tested) {
    const int T = model.volumes();
    GlmMaps maps = emptyMaps(model, samples.size() / std::size_t(T), tested, int(contrasts.size()));
    std::vector<double> variances;
    for (const FittedContrast& c : contrasts) variances.push_back(c.variance);
    std::vector<double> y(static_cast<std::size_t>(T));
    for (std::size_t v = 0; v < maps.voxels; ++v) {
        const bool constant = loadVoxel(samples, T, v, y.data(), maps);
        fitVoxel(model, y.data(), constant, contrasts, variances, maps, v);
    }
    return maps;
}

bool loadVoxel(std::span<const float> samples, int T, std::size_t v, double* y, GlmMaps& maps) {
    const float* in = samples.data() + v * std::size_t(T);
    double sum = 0.0;
    bool constant = true;
    for (int t = 0; t < T; ++t) {
        y[std::size_t(t)] = in[t];
        sum += in[t];
        constant = constant && in[t] == in[0];
    }
    const double mean = sum / T;
    double squares = 0.0;
    for (int t = 0; t < T; ++t) squares += (in[t] - mean) * (in[t] - mean);
    maps.mean[v] = float(mean);
    maps.sd[v] = T > 1 ? float(std::sqrt(squares / (T - 1))) : 0.0f;
    return constant;
}

}  // namespace simtrove::analysis
