// The spatial field's factors reproduce the correlation of a Gaussian-smoothed
// white line (within the 1e-9 the factorisation allows itself), however wide the kernel is
// against the grid (where that correlation matrix is all but singular); and a
// volume is the three factors applied to its draws, for grids whose lines fill
// every width of the x pass's groups or leave a short group at the end.
#include "noise/spatial_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "noise/normal_transform.h"

namespace simtrove::noise {
namespace {

const double kFwhmPerSigma = std::sqrt(8.0 * std::log(2.0));

// The correlation at lag d of a white line smoothed by exp(-k^2 / (2 sigma^2)),
// |k| <= ceil(4 sigma): sum_k g(k) g(k + d) / sum_k g(k)^2.
double smoothedLineCorrelation(double sigma, std::int64_t d) {
    const std::int64_t r = std::int64_t(std::ceil(4 * sigma));
    auto g = [&](std::int64_t k) { return std::exp(-0.5 * double(k * k) / (sigma * sigma)); };
    double lagged = 0, squares = 0;
    for (std::int64_t k = -r; k <= r; ++k) {
        squares += g(k) * g(k);
        if (k + d <= r) lagged += g(k) * g(k + d);
    }
    return lagged / squares;
}

TEST(SpatialNoise, FactorsGiveTheSmoothedLinesCorrelation) {
    struct Case {
        std::int64_t n;
        double sigma;  // voxels
    };
    for (const Case c :
         {Case{1, 300}, Case{5, 50}, Case{3, 1e4}, Case{40, 1.5}, Case{64, 4}, Case{200, 0.85}}) {
        const double fwhm = c.sigma * kFwhmPerSigma;
        const SpatialNoise field({c.n, 1, 1}, {1, 1, 1}, {fwhm, fwhm, fwhm}, 1.0);
        const CorrelationFactor& L = field.factor(0);
        for (std::int64_t i = 0; i < c.n; ++i)
            for (std::int64_t j = 0; j <= i; ++j) {
                double product = 0;
                for (std::int64_t k = 0; k <= j; ++k) product += L.at(i, k) * L.at(j, k);
                ASSERT_NEAR(product, smoothedLineCorrelation(c.sigma, i - j), 1e-8)
                    << "n " << c.n << ", sigma " << c.sigma << ", (" << i << ", " << j << ")";
            }
        // The closed form exp(-d^2 / (4 sigma^2)) at lag 1, the smoothness
        // the FWHM stands for (the sums differ from it by exp(-pi^2 sigma^2)).
        if (c.sigma >= 1.5 && c.n > 1) {
            EXPECT_NEAR(L.at(1, 0) * L.at(0, 0), std::exp(-1 / (4 * c.sigma * c.sigma)), 1e-7);
        }
    }
}

TEST(SpatialNoise, VolumeIsTheFactorsAppliedToItsDraws) {
    struct Case {
        std::array<std::int64_t, 3> dims;
        std::array<double, 3> fwhmVoxels;
    };
    for (const Case& c :
         {Case{{37, 6, 5}, {5, 2, 3}}, Case{{19, 4, 3}, {2, 1, 2}}, Case{{9, 7, 2}, {3, 20, 2}},
          Case{{5, 3, 4}, {2, 2, 1}}, Case{{3, 2, 2}, {4, 2, 2}}}) {
        const std::array<double, 3> voxel = {2, 3, 1.5};
        std::array<double, 3> fwhm{};
        for (std::size_t a = 0; a < 3; ++a) fwhm[a] = c.fwhmVoxels[a] * voxel[a];
        const double sd = 2.5;
        const SpatialNoise field(c.dims, voxel, fwhm, sd);
        const std::int64_t X = c.dims[0], Y = c.dims[1], Z = c.dims[2];
        std::vector<double> w(std::size_t(X * Y * Z));
        standardNormals({7, Component::Spatial, 3}, 0, w.data(), w.size());
        // L_z (L_y (L_x w)) in double, voxel by voxel.
        const std::int64_t step[3] = {1, X, X * Y};
        for (int a = 0; a < 3; ++a) {
            std::vector<double> next(w.size(), 0.0);
            const CorrelationFactor& L = field.factor(a);
            for (std::int64_t v = 0; v < X * Y * Z; ++v) {
                const std::int64_t p = v / step[a] % c.dims[std::size_t(a)];
                for (std::int64_t k = 0; k <= p; ++k)
                    next[std::size_t(v)] += L.at(p, k) * w[std::size_t(v + (k - p) * step[a])];
            }
            w = next;
        }
        std::vector<float> out(w.size());
        SpatialNoise::Scratch scratch;
        field.generate(7, 3, out.data(), scratch);
        for (std::size_t v = 0; v < w.size(); ++v)
            ASSERT_NEAR(out[v], sd * w[v], 1e-5 * sd) << X << " x " << Y << " x " << Z << ", " << v;
    }
}

}  // namespace
}  // namespace simtrove::noise
