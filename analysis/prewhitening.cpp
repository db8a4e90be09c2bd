#include "analysis/prewhitening.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace simtrove::analysis {
namespace {

using formats::Result;
using formats::VolumeGrid;

// R = I - X X+, T x T, row after row.
std::vector<double> residualForming(const GlmModel& model) {
    const int T = model.volumes(), k = model.columns();
    std::vector<double> r(std::size_t(T) * std::size_t(T), 0.0);
    for (int j = 0; j < k; ++j) {
        const std::span<const double> e = model.estimator(j);
        for (int t = 0; t < T; ++t) {
            const double x = model.design(j, t);
            if (x == 0.0) continue;
            double* row = &r[std::size_t(t) * std::size_t(T)];
            for (int s = 0; s < T; ++s) row[s] -= x * e[std::size_t(s)];
        }
    }
    for (int t = 0; t < T; ++t) r[std::size_t(t) * std::size_t(T) + std::size_t(t)] += 1.0;
    return r;
}

double clampRho(double rho) {
    if (!std::isfinite(rho)) return 0.0;
    return std::clamp(rho, -kMaxAutocorrelation, kMaxAutocorrelation);
}

}  // namespace

namespace {

constexpr int kTableSteps = int(kMaxAutocorrelation / kAutocorrelationStep + 0.5);

double tableRho(std::size_t i) {
    return (double(i) - kTableSteps) * kAutocorrelationStep;
}

}  // namespace

double AutocorrelationBias::correct(double raw) const {
    if (expected.empty()) return raw;
    if (!(raw > expected.front())) return tableRho(0);
    if (!(raw < expected.back())) return tableRho(expected.size() - 1);
    // f grows with rho: the first entry at or above raw, and the one before.
    const std::size_t i =
        std::size_t(std::lower_bound(expected.begin(), expected.end(), raw) - expected.begin());
    if (i == 0) return tableRho(0);
    const double f0 = expected[i - 1], f1 = expected[i];
    const double u = f1 > f0 ? (raw - f0) / (f1 - f0) : 0.0;
    return tableRho(i - 1) + u * kAutocorrelationStep;
}

double AutocorrelationBias::whiteNoise() const {
    return expected.empty() ? 0.0 : expected[std::size_t(kTableSteps)];
}

AutocorrelationBias autocorrelationBias(const GlmModel& model) {
    const std::size_t T = std::size_t(model.volumes());
    const std::vector<double> r = residualForming(model);
    // M = R D R: row i of D R is row i + 1 of R (the last one 0).
    std::vector<double> m(T * T, 0.0);
    for (std::size_t i = 0; i < T; ++i)
        for (std::size_t t = 0; t + 1 < T; ++t) {
            const double rit = r[i * T + t];
            if (rit == 0.0) continue;
            const double* next = &r[(t + 1) * T];
            double* row = &m[i * T];
            for (std::size_t j = 0; j < T; ++j) row[j] += rit * next[j];
        }
    // tr(A V(rho)) = sum_d rho^d (sums of A's entries with |i - j| = d).
    std::vector<double> sumR(T, 0.0), sumM(T, 0.0);
    for (std::size_t i = 0; i < T; ++i)
        for (std::size_t j = 0; j < T; ++j) {
            const std::size_t d = i > j ? i - j : j - i;
            sumR[d] += r[i * T + j];
            sumM[d] += m[i * T + j];
        }
    AutocorrelationBias b;
    for (int k = -kTableSteps; k <= kTableSteps; ++k) {
        const double rho = k * kAutocorrelationStep;
        double a0 = 0.0, a1 = 0.0, power = 1.0;
        for (std::size_t d = 0; d < T && (d == 0 || power != 0.0); ++d) {
            a0 += power * sumR[d];
            a1 += power * sumM[d];
            power *= rho;
        }
        // The ratio of the two sums is not the ratio of their expectations: to
        // second order it falls short by 2 rho / n more, n the residuals'
        // degrees of freedom (the known small-sample bias of a lag-one
        // autocorrelation).
        b.expected.push_back(a0 != 0.0 ? a1 / a0 - 2.0 * rho / sumR[0] : rho);
    }
    // Keep the table increasing so that it can be inverted.
    for (std::size_t i = 1; i < b.expected.size(); ++i)
        b.expected[i] = std::max(b.expected[i], b.expected[i - 1]);
    return b;
}

std::vector<float> estimateAutocorrelation(const GlmModel& model, std::span<const float> samples,
                                           const AutocorrelationBias& bias) {
    const int T = model.volumes(), k = model.columns();
    const std::size_t voxels = samples.size() / std::size_t(T);
    std::vector<float> rho(voxels, 0.0f);
    std::vector<double> b(static_cast<std::size_t>(k)), residual(static_cast<std::size_t>(T));
    for (std::size_t v = 0; v < voxels; ++v) {
        const float* y = samples.data() + v * std::size_t(T);
        for (int j = 0; j < k; ++j) {
            const std::span<const double> e = model.estimator(j);
            double s = 0.0;
            for (int t = 0; t < T; ++t) s += e[std::size_t(t)] * y[t];
            b[std::size_t(j)] = s;
        }
        double squares = 0.0, lagged = 0.0;
        for (int t = 0; t < T; ++t) {
            double fitted = 0.0;
            for (int j = 0; j < k; ++j) fitted += model.design(j, t) * b[std::size_t(j)];
            residual[std::size_t(t)] = y[t] - fitted;
            squares += residual[std::size_t(t)] * residual[std::size_t(t)];
            if (t > 0) lagged += residual[std::size_t(t)] * residual[std::size_t(t - 1)];
        }
        if (squares > 0.0) rho[v] = float(clampRho(bias.correct(lagged / squares)));
    }
    return rho;
}

std::vector<float> smoothOverNeighbours(const VolumeGrid& grid, std::span<const float> rho,
                                        std::span<const std::uint8_t> valid) {
    std::vector<float> out(rho.begin(), rho.end());
    for (int z = 0; z < grid.dims[2]; ++z)
        for (int y = 0; y < grid.dims[1]; ++y)
            for (int x = 0; x < grid.dims[0]; ++x) {
                const std::size_t v = grid.index(x, y, z);
                if (!valid[v]) continue;
                double sum = 0.0;
                int n = 0;
                for (int dz = -1; dz <= 1; ++dz)
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int a = x + dx, b = y + dy, c = z + dz;
                            if (a < 0 || b < 0 || c < 0 || a >= grid.dims[0] || b >= grid.dims[1] ||
                                c >= grid.dims[2])
                                continue;
                            const std::size_t u = grid.index(a, b, c);
                            if (!valid[u]) continue;
                            sum += rho[u];
                            ++n;
                        }
                out[v] = float(sum / n);
            }
    return out;
}

void prewhiten(const double* y, int volumes, double rho, double* out) {
    if (volumes < 1) return;
    // From the last row back, so that `out` may be `y`.
    for (int t = volumes - 1; t >= 1; --t) out[t] = y[t] - rho * y[t - 1];
    out[0] = y[0] * std::sqrt(1.0 - rho * rho);
}

Result<GlmMaps> fitVoxelsAr1(const GlmModel& model, std::span<const float> samples,
                             std::span<const float> rho, std::span<const FittedContrast> contrasts,
                             int tested) {
    using R = Result<GlmMaps>;
    const int T = model.volumes(), k = model.columns();
    GlmMaps maps = emptyMaps(model, samples.size() / std::size_t(T), tested, int(contrasts.size()));
    struct Whitened {
        GlmModel model;
        std::vector<double> variances;
    };
    std::map<long, std::unique_ptr<Whitened>> models;
    auto whitened = [&](long step, std::string* error) -> const Whitened* {
        auto found = models.find(step);
        if (found != models.end()) return found->second.get();
        const double r = double(step) * kAutocorrelationStep;
        std::vector<double> columns(std::size_t(k) * std::size_t(T));
        for (int j = 0; j < k; ++j) {
            double* column = &columns[std::size_t(j) * std::size_t(T)];
            for (int t = 0; t < T; ++t) column[t] = model.design(j, t);
            prewhiten(column, T, r, column);
        }
        std::optional<GlmModel> m = GlmModel::createFromColumns(std::move(columns), k, T, error);
        if (!m) return nullptr;
        auto w = std::make_unique<Whitened>(Whitened{std::move(*m), {}});
        for (const FittedContrast& c : contrasts)
            w->variances.push_back(w->model.contrastVariance(c.weights));
        return models.emplace(step, std::move(w)).first->second.get();
    };
    std::vector<double> y(std::size_t(T), 0.0);
    for (std::size_t v = 0; v < maps.voxels; ++v) {
        const bool constant = loadVoxel(samples, T, v, y.data(), maps);
        const long step = std::lround(clampRho(rho[v]) / kAutocorrelationStep);
        std::string error;
        const Whitened* w = whitened(step, &error);
        if (!w)
            return R::failure("prewhitening with rho " + std::to_string(step) + "/100: " + error);
        prewhiten(y.data(), T, double(step) * kAutocorrelationStep, y.data());
        fitVoxel(w->model, y.data(), constant, contrasts, w->variances, maps, v);
    }
    // Rank and degrees of freedom do not change with an invertible transform.
    return maps;
}

}  // namespace simtrove::analysis
