// General linear model fitted to every voxel of a volume time course.
//
// The model of every voxel is y = X b + e, where X holds the predictors (one
// column each, one value per volume) and a constant column appended last. X
// is the same for every voxel, so GlmModel::create() decomposes it once with
// svd_decompose and drops singular values below 1e-5 of the largest (those
// directions are not estimable: they add nothing to a coefficient or to its
// variance). fitVoxels() then fits each voxel with one small matrix-vector
// product: b = V diag(1/w) U^T y, accumulated in double.
//
// The t value of predictor j is b_j / sqrt(s^2 C_jj) with C = V diag(1/w^2) V^T
// and s^2 = RSS / (T - rank). It is 0 where it is undefined: for a predictor
// outside the row space of X (an all-zero column) and for a voxel whose time
// course is constant (its residual sd is 0 too). A voxel that the model fits
// exactly up to rounding gets a very large t, at most FLT_MAX in magnitude.
// Predictors that duplicate each other get the minimum-norm solution: the
// weight is shared.
//
// A contrast c (one weight per column) has the effect c'b and the t value
// c'b / sqrt(s^2 c'Cc), C the pseudo-inverse of X'X. It is estimable when c
// lies in the row space of X, i.e. when every exact linear dependence among
// the columns gives it zero weight (conditions that fill the run together with
// the constant: their weights must cancel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace simtrove::analysis {

class GlmModel {
  public:
    // `predictors` holds `count` columns of `volumes` values each, column after
    // column. Fails (nullopt, `error` set) without predictors' values to fit
    // (volumes < 1), with no degrees of freedom left (volumes <= rank) or when
    // the decomposition does not converge.
    static std::optional<GlmModel> create(std::span<const float> predictors, int count, int volumes,
                                          std::string* error);
    // The same from every column given, the constant's place (last) included:
    // for a design transformed as a whole, as prewhitening does.
    static std::optional<GlmModel> createFromColumns(std::vector<double> columns, int count,
                                                     int volumes, std::string* error);

    int volumes() const { return volumes_; }
    // Predictors plus the constant.
    int columns() const { return columns_; }
    int predictorCount() const { return columns_ - 1; }
    int rank() const { return rank_; }
    std::uint32_t degreesOfFreedom() const { return std::uint32_t(volumes_ - rank_); }
    // Value of column j (constant: j = predictorCount()) at volume t.
    double design(int j, int t) const { return design_[std::size_t(j) * volumes_ + t]; }
    // Row j of V diag(1/w) U^T: the weights that give coefficient j.
    std::span<const double> estimator(int j) const;
    // C_jj of the unscaled coefficient covariance.
    double covarianceDiagonal(int j) const { return covariance_[std::size_t(j)]; }
    // How much the other columns inflate the variance of predictor j's
    // coefficient: C_jj times the predictor's sum of squared deviations from
    // its mean (1: independent of the others; large: nearly a combination of
    // them and the constant, as when conditions together fill the whole run).
    // 0 for a predictor that never varies.
    double varianceInflation(int j) const;
    // C_jl of the unscaled coefficient covariance (the pseudo-inverse of X'X).
    double covariance(int j, int l) const {
        return covarianceMatrix_[std::size_t(j) * std::size_t(columns_) + std::size_t(l)];
    }
    // Whether c'b is estimable: `weights` (columns() entries, not all zero) lies
    // in the row space of X.
    bool estimable(std::span<const double> weights) const;
    // c'Cc.
    double contrastVariance(std::span<const double> weights) const;
    // How well the predictors alone reproduce the constant, from 0 to 1: 1 -
    // RSS / T of the constant regressed on the predictors, 1 when they
    // reproduce it exactly. Near 1 the conditions together fill the run and
    // single predictors are nearly confounded with the baseline.
    double constantExplained() const;

  private:
    GlmModel() = default;
    int volumes_ = 0;
    int columns_ = 0;
    int rank_ = 0;
    std::vector<double> design_;            // columns_ x volumes_
    std::vector<double> estimator_;         // columns_ x volumes_
    std::vector<double> covariance_;        // diagonal, 0 where not estimable
    std::vector<double> covarianceMatrix_;  // columns_ x columns_
    std::vector<double> rowSpace_;          // columns_ x rank_: the kept columns of V
};

// A contrast ready to fit: one weight per column of the model and c'Cc.
struct FittedContrast {
    std::vector<double> weights;
    double variance = 0.0;
};

// Voxel maps of one fit; every map holds one value per voxel, in the voxel
// order of the samples.
struct GlmMaps {
    std::size_t voxels = 0;
    int columns = 0;
    std::uint32_t degreesOfFreedom = 0;
    std::vector<float> coefficients;  // column-major: coefficient j of voxel v at j * voxels + v
    int predictors = 0;
    int statistics = 0;                  // predictors, then contrasts
    std::vector<float> t;                // one map per statistic, same layout
    std::vector<float> contrastEffects;  // c'b, one map per contrast
    std::vector<float> mean;             // temporal mean
    std::vector<float> sd;               // temporal standard deviation (divisor T - 1)
    std::vector<float> residualSd;       // sqrt(RSS / (T - rank))

    float coefficient(int j, std::size_t v) const {
        return coefficients[std::size_t(j) * voxels + v];
    }
    float tValue(int j, std::size_t v) const { return t[std::size_t(j) * voxels + v]; }
    std::span<const float> tMap(int j) const;
    // The coefficient of a predictor or c'b of a contrast (j >= predictors).
    float effect(int j, std::size_t v) const {
        return j < predictors ? coefficient(j, v)
                              : contrastEffects[std::size_t(j - predictors) * voxels + v];
    }
};

// `samples` in the VTC layout: the time course of each voxel contiguous,
// model.volumes() samples per voxel. Its size must be a multiple of that.
// The t maps hold the first `tested` predictors (all when negative; the others,
// such as drift regressors, are in the model only), then `contrasts`.
GlmMaps fitVoxels(const GlmModel& model, std::span<const float> samples,
                  std::span<const FittedContrast> contrasts = {}, int tested = -1);

// Empty maps for `voxels` voxels laid out as fitVoxels() leaves them.
GlmMaps emptyMaps(const GlmModel& model, std::size_t voxels, int tested, int contrasts);
// Copies voxel `v`'s time course (`T` samples of `samples`) into `y` as
// doubles, stores its temporal mean and sd (n - 1) in `maps`, and says whether
// the course is constant.
bool loadVoxel(std::span<const float> samples, int T, std::size_t v, double* y, GlmMaps& maps);
// Fits voxel `v` of `maps` from its time course `y` (model.volumes() values):
// coefficients, t values, contrast effects and residual sd. `variances` holds
// c'Cc of each contrast under `model`. The temporal mean and sd are the
// caller's (`y` may be transformed data).
void fitVoxel(const GlmModel& model, const double* y, bool constant,
              std::span<const FittedContrast> contrasts, std::span<const double> variances,
              GlmMaps& maps, std::size_t v);

}  // namespace simtrove::analysis
