#include "numerics/fft/fft.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "numerics/arrays/arrays.h"

namespace {

using Complex = std::complex<double>;
using Shape = std::vector<std::uint32_t>;

// Reference: the d-dimensional sum H(f) = sum_k h(k) exp(sign 2 pi i sum_d k_d f_d / N_d),
// row-major with the last dimension fastest, evaluated term by term in double precision.
std::vector<Complex> directDft(const std::vector<Complex>& h, const Shape& shape, int sign) {
    const std::size_t total = h.size();
    auto digits = [&](std::size_t p) {
        std::vector<std::size_t> k(shape.size());
        for (std::size_t d = shape.size(); d-- > 0; p /= shape[d]) k[d] = p % shape[d];
        return k;
    };
    std::vector<Complex> out(total);
    for (std::size_t f = 0; f < total; ++f) {
        const auto fd = digits(f);
        for (std::size_t k = 0; k < total; ++k) {
            const auto kd = digits(k);
            double turns = 0.0;
            for (std::size_t d = 0; d < shape.size(); ++d) {
                turns += double(kd[d] * fd[d] % shape[d]) / shape[d];
            }
            out[f] += h[k] * std::polar(1.0, sign * 2.0 * std::numbers::pi * turns);
        }
    }
    return out;
}

std::vector<Complex> randomSignal(std::size_t n, bool real, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<Complex> h(n);
    for (auto& z : h) z = Complex(u(gen), real ? 0.0f : u(gen));
    return h;
}

// One-based interleaved float array (index 0 unused).
std::vector<float> interleave(const std::vector<Complex>& h) {
    std::vector<float> data(2 * h.size() + 1, 0.0f);
    for (std::size_t k = 0; k < h.size(); ++k) {
        data[2 * k + 1] = float(h[k].real());
        data[2 * k + 2] = float(h[k].imag());
    }
    return data;
}

double norm2(const std::vector<Complex>& h) {
    double s = 0.0;
    for (const auto& z : h) s += std::norm(z);
    return std::sqrt(s);
}

// Per-element error allowed for a float transform of an input of norm `norm` and N points:
// a few float epsilons per butterfly stage.
double tolerance(std::size_t n, double norm) {
    return 2.0 * FLT_EPSILON * (std::log2(double(n)) + 1.0) * std::max(norm, 1e-30);
}

void expectPoints(const std::vector<float>& data, const std::vector<Complex>& want, double tol,
                  const std::string& what) {
    for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_NEAR(data[2 * k + 1], want[k].real(), tol) << what << " re point " << k;
        EXPECT_NEAR(data[2 * k + 2], want[k].imag(), tol) << what << " im point " << k;
    }
}

std::vector<Complex> scaled(std::vector<Complex> h, double factor) {
    for (auto& z : h) z *= factor;
    return h;
}

// The one-dimensional transforms written out from their rules: float data and
// butterfly values, double angle and twiddle recurrence, 2*pi as 6.28318530717959.
void advance(double& w_re, double& w_im, double dw_re, double dw_im) {
    const double w_tmp = w_re;
    w_re = w_tmp * dw_re - w_im * dw_im + w_re;
    w_im = w_im * dw_re + w_tmp * dw_im + w_im;
}

void referenceComplexFft(std::vector<float>& data, std::uint64_t nn, int sign) {
    const std::uint64_t n = 2 * nn;
    for (std::uint64_t i = 1, j = 1; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        std::uint64_t m = n / 2;
        for (; m >= 2 && j > m; m /= 2) j -= m;
        j += m;
    }
    for (std::uint64_t half_span = 2; n > half_span; half_span *= 2) {
        const double theta = sign * (6.28318530717959 / double(half_span));
        const double s = std::sin(0.5 * theta), dw_re = -2.0 * s * s, dw_im = std::sin(theta);
        double w_re = 1.0, w_im = 0.0;
        for (std::uint64_t m = 1; m < half_span; m += 2) {
            for (std::uint64_t i = m; i <= n; i += 2 * half_span) {
                const std::uint64_t j = i + half_span;
                const float t_re = float(w_re * double(data[j]) - w_im * double(data[j + 1]));
                const float t_im = float(w_re * double(data[j + 1]) + w_im * double(data[j]));
                data[j] = float(double(data[i]) - double(t_re));
                data[j + 1] = float(double(data[i + 1]) - double(t_im));
                data[i] = float(double(data[i]) + double(t_re));
                data[i + 1] = float(double(data[i + 1]) + double(t_im));
            }
            advance(w_re, w_im, dw_re, dw_im);
        }
    }
}

void referenceRealFft(std::vector<float>& data, std::uint64_t n, int sign) {
    const double c1 = 0.5, c2 = sign == 1 ? -0.5 : 0.5;
    double theta = 3.141592653589793 / double(n / 2);
    if (sign == 1)
        referenceComplexFft(data, n / 2, +1);
    else
        theta = -theta;
    const double s = std::sin(0.5 * theta), dw_re = -2.0 * s * s, dw_im = std::sin(theta);
    double w_re = 1.0 + dw_re, w_im = dw_im;
    for (std::uint64_t i = 2; i <= n / 4; ++i) {
        const std::uint64_t i1 = 2 * i - 1, i2 = i1 + 1, i3 = n + 3 - i2, i4 = i3 + 1;
        const double a_re = float(c1 * (double(data[i1]) + double(data[i3])));
        const double a_im = float(c1 * (double(data[i2]) - double(data[i4])));
        const double b_re = float(-c2 * (double(data[i2]) + double(data[i4])));
        const double b_im = float(c2 * (double(data[i1]) - double(data[i3])));
        data[i1] = float(a_re + w_re * b_re - w_im * b_im);
        data[i2] = float(a_im + w_re * b_im + w_im * b_re);
        data[i3] = float(a_re - w_re * b_re + w_im * b_im);
        data[i4] = float(-a_im + w_re * b_im + w_im * b_re);
        advance(w_re, w_im, dw_re, dw_im);
    }
    const double a_re = data[1];
    if (sign == 1) {
        data[1] = float(a_re + double(data[2]));
        data[2] = float(a_re - double(data[2]));
    } else {
        data[1] = float(c1 * (a_re + double(data[2])));
        data[2] = float(c1 * (a_re - double(data[2])));
        referenceComplexFft(data, n / 2, -1);
    }
}

std::vector<std::uint32_t> bitsOf(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (float v : values) bits.push_back(std::bit_cast<std::uint32_t>(v));
    return bits;
}

// Random full-mantissa data: a float step where the rule keeps double (or the
// reverse), or a twiddle constant off by an ulp, changes bits that every
// tolerance above lets pass.
TEST(Fft, OneDimensionalTransformsRoundExactlyAsTheirRules) {
    for (std::uint32_t points : {64u, 512u}) {
        for (int sign : {+1, -1}) {
            const std::string what = std::to_string(points) + " sign " + std::to_string(sign);
            std::vector<float> data = interleave(randomSignal(points, false, points + sign));
            std::vector<float> expected = data;
            complex_fft(data.data(), points, sign);
            referenceComplexFft(expected, points, sign);
            EXPECT_EQ(bitsOf(data), bitsOf(expected)) << "complex " << what;

            std::vector<float> real = interleave(randomSignal(points, false, 3 * points + sign));
            std::vector<float> expectedReal = real;
            real_fft(real.data(), 2 * points, sign);
            referenceRealFft(expectedReal, 2 * points, sign);
            EXPECT_EQ(bitsOf(real), bitsOf(expectedReal)) << "real " << what;
        }
    }
}

TEST(ComplexFft, MatchesDirectSumAndRoundTripsForSizes1To1024) {
    for (std::uint32_t nn = 1; nn <= 1024; nn *= 2) {
        for (int sign : {+1, -1}) {
            const auto h = randomSignal(nn, false, nn + 7 * sign);
            const std::string what = "nn=" + std::to_string(nn) + " sign=" + std::to_string(sign);
            const double tol = tolerance(nn, norm2(h));
            auto data = interleave(h);
            complex_fft(data.data(), nn, sign);
            expectPoints(data, directDft(h, {nn}, sign), tol, what);
            if (nn == 1) {
                EXPECT_EQ(data, interleave(h)) << "one point is left unchanged";
            }
            complex_fft(data.data(), nn, -sign);
            expectPoints(data, scaled(h, nn), 2.0 * std::sqrt(double(nn)) * tol, what + " back");
        }
    }
}

// Closed forms for real inputs of 16 values: a constant c transforms to N c at frequency 0
// and zero elsewhere; a unit pulse at k0 to exp(+2 pi i k0 m / N). Tolerance as above.
struct KnownTransform {
    const char* what;
    std::function<double(std::size_t k)> input;
    std::function<Complex(std::size_t m)> spectrum;
};

const std::vector<KnownTransform>& knownTransforms() {
    constexpr std::size_t n = 16;
    static const std::vector<KnownTransform> table = {
        {"constant 1.5", [](std::size_t) { return 1.5; },
         [](std::size_t m) { return Complex(m == 0 ? n * 1.5 : 0.0, 0.0); }},
        {"pulse at 0", [](std::size_t k) { return k == 0 ? 2.0 : 0.0; },
         [](std::size_t) { return Complex(2.0, 0.0); }},
        {"pulse at 1", [](std::size_t k) { return k == 1 ? 1.0 : 0.0; },
         [](std::size_t m) { return std::polar(1.0, 2.0 * std::numbers::pi * m / n); }},
        {"pulse at 5", [](std::size_t k) { return k == 5 ? 1.0 : 0.0; },
         [](std::size_t m) { return std::polar(1.0, 2.0 * std::numbers::pi * 5 * m / n); }},
    };
    return table;
}

TEST(Fft, ConstantAndPulseInputsGiveTheirClosedForms) {
    constexpr std::uint32_t n = 16;
    for (const auto& c : knownTransforms()) {
        std::vector<Complex> h(n), want(n);
        for (std::size_t k = 0; k < n; ++k) h[k] = c.input(k), want[k] = c.spectrum(k);
        const double tol = tolerance(n, norm2(h));
        auto data = interleave(h);
        complex_fft(data.data(), n, +1);
        expectPoints(data, want, tol, std::string("complex_fft ") + c.what);

        std::vector<float> real(n + 1);
        for (std::size_t k = 0; k < n; ++k) real[k + 1] = float(h[k].real());
        real_fft(real.data(), n, +1);
        EXPECT_NEAR(real[1], want[0].real(), tol) << c.what;
        EXPECT_NEAR(real[2], want[n / 2].real(), tol) << c.what;
        for (std::size_t m = 1; m < n / 2; ++m) {
            EXPECT_NEAR(real[2 * m + 1], want[m].real(), tol) << c.what << " m=" << m;
            EXPECT_NEAR(real[2 * m + 2], want[m].imag(), tol) << c.what << " m=" << m;
        }
    }
}

TEST(RealFft, PackedHalfSpectrumMatchesDirectSumAndInverseScalesByHalfN) {
    for (std::uint32_t n = 2; n <= 1024; n *= 2) {
        const auto h = randomSignal(n, true, n);
        const double tol = tolerance(n, norm2(h));
        const auto want = directDft(h, {n}, +1);
        std::vector<float> data(n + 1);
        for (std::size_t k = 0; k < n; ++k) data[k + 1] = float(h[k].real());
        real_fft(data.data(), n, +1);
        const std::string what = "n=" + std::to_string(n);
        EXPECT_NEAR(data[1], want[0].real(), tol) << what << " H(0)";
        EXPECT_NEAR(data[2], want[n / 2].real(), tol) << what << " H(n/2)";
        for (std::size_t m = 1; m < n / 2; ++m) {
            EXPECT_NEAR(data[2 * m + 1], want[m].real(), tol) << what << " m=" << m;
            EXPECT_NEAR(data[2 * m + 2], want[m].imag(), tol) << what << " m=" << m;
        }
        auto inverse = data;
        real_fft(inverse.data(), n, -1);
        for (std::size_t k = 0; k < n; ++k) {
            EXPECT_NEAR(inverse[k + 1], n / 2 * h[k].real(), std::sqrt(double(n)) * tol) << what;
        }
        for (int other_sign : {0, 2}) {  // every sign but +1 is the inverse
            auto again = data;
            real_fft(again.data(), n, other_sign);
            EXPECT_EQ(again, inverse) << what << " sign " << other_sign;
        }
    }
}

TEST(RealFft, SmallestSizesAreExactSumsAndDifferences) {
    std::vector<float> two = {0.0f, 0.3f, 1.7f};
    real_fft(two.data(), 2, +1);
    EXPECT_EQ(two, (std::vector<float>{0.0f, 0.3f + 1.7f, 0.3f - 1.7f}));

    // Four values: only the two-point complex transform and the final fold run, so H(1) is
    // exactly z0 - z1 of the points z0 = x0 + i x1, z1 = x2 + i x3.
    const float x[4] = {0.1f, -2.3f, 4.7f, 0.9f};
    std::vector<float> four = {0.0f, x[0], x[1], x[2], x[3]};
    real_fft(four.data(), 4, +1);
    const float re0 = x[0] + x[2], im0 = x[1] + x[3];
    EXPECT_EQ(four, (std::vector<float>{0.0f, re0 + im0, re0 - im0, x[0] - x[2], x[1] - x[3]}));
}

std::size_t volume(const Shape& shape) {
    std::size_t t = 1;
    for (auto n : shape) t *= n;
    return t;
}

TEST(ComplexFftNd, MatchesDirectSumAndRoundTripsForShapes) {
    const std::vector<Shape> shapes = {{1},       {8},       {4, 4},       {16, 2},
                                       {2, 4, 8}, {1, 8, 1}, {2, 2, 2, 2}, {8, 4, 16}};
    for (const auto& shape : shapes) {
        const std::size_t total = volume(shape);
        Shape dims = {0};  // one-based
        dims.insert(dims.end(), shape.begin(), shape.end());
        for (int sign : {+1, -1}) {
            const auto h = randomSignal(total, false, unsigned(total * 3 + sign));
            const double tol = tolerance(total, norm2(h));
            std::string what = "shape";
            for (auto n : shape) what.append(" ").append(std::to_string(n));
            auto data = interleave(h);
            complex_fft_nd(data.data(), dims.data(), int(shape.size()), sign);
            expectPoints(data, directDft(h, shape, sign), tol, what);
            if (total == 1) {
                EXPECT_EQ(data, interleave(h)) << "one point is left unchanged";
            }
            complex_fft_nd(data.data(), dims.data(), int(shape.size()), -sign);
            expectPoints(data, scaled(h, total), 2.0 * std::sqrt(double(total)) * tol, what);
        }
    }
}

TEST(RealFft3d, SpectrumAndNyquistLayoutAndRoundTrip) {
    const std::vector<Shape> shapes = {{2, 4, 8},  {1, 4, 8}, {2, 4, 2}, {1, 1, 2},
                                       {4, 2, 16}, {1, 1, 8}, {8, 1, 4}};
    for (const auto& s : shapes) {
        const int n1 = int(s[0]), n2 = int(s[1]), n3 = int(s[2]);
        const std::size_t total = volume(s);
        const auto h = randomSignal(total, true, unsigned(total + n1));
        const auto want = directDft(h, s, +1);
        const double tol = tolerance(total, norm2(h));
        float*** data = f3tensor(1, n1, 1, n2, 1, n3);
        float** nyquist = matrix(1, n1, 1, 2 * n2);
        for (std::size_t p = 0; p < total; ++p) data[1][1][p + 1] = float(h[p].real());
        real_fft_3d(data, nyquist, n1, n2, n3, +1);
        const std::string what =
            std::to_string(n1) + "x" + std::to_string(n2) + "x" + std::to_string(n3);
        auto at = [&](int f1, int f2, int f3) { return want[(f1 * n2 + f2) * n3 + f3]; };
        for (int i1 = 1; i1 <= n1; ++i1) {
            for (int i2 = 1; i2 <= n2; ++i2) {
                for (int i3 = 1; i3 <= n3 / 2; ++i3) {
                    EXPECT_NEAR(data[i1][i2][2 * i3 - 1], at(i1 - 1, i2 - 1, i3 - 1).real(), tol)
                        << what << " " << i1 << "," << i2 << "," << i3;
                    EXPECT_NEAR(data[i1][i2][2 * i3], at(i1 - 1, i2 - 1, i3 - 1).imag(), tol)
                        << what << " " << i1 << "," << i2 << "," << i3;
                }
                EXPECT_NEAR(nyquist[i1][2 * i2 - 1], at(i1 - 1, i2 - 1, n3 / 2).real(), tol)
                    << what << " nyquist " << i1 << "," << i2;
                EXPECT_NEAR(nyquist[i1][2 * i2], at(i1 - 1, i2 - 1, n3 / 2).imag(), tol)
                    << what << " nyquist " << i1 << "," << i2;
            }
        }
        real_fft_3d(data, nyquist, n1, n2, n3, -1);
        for (std::size_t p = 0; p < total; ++p) {
            EXPECT_NEAR(data[1][1][p + 1], total / 2 * h[p].real(),
                        2.0 * std::sqrt(double(total)) * tol)
                << what << " back, point " << p;
        }
        release_matrix(nyquist, 1, n1, 1, 2 * n2);
        release_f3tensor(data, 1, n1, 1, n2, 1, n3);
    }
}

std::string fatalOutput(const std::string& message) {
    return "Calvento run-time error\\.\\.\\.\n" + message +
           "\n\\.\\.\\.now exiting to system\\.\\.\\.\n";
}

// A 2 x 2 x 4 tensor whose second plane lives in its own block; reversed = planes swapped.
void runOnSplitTensor(bool reversed) {
    float*** t = f3tensor(1, 2, 1, 2, 1, 4);
    float* plane = vector(1, 8);
    t[2][1] = plane;
    t[2][2] = plane + 4;
    if (reversed) std::swap(t[1], t[2]);
    float** nyquist = matrix(1, 2, 1, 4);
    real_fft_3d(t, nyquist, 2, 2, 4, +1);
}

TEST(FftDeathTest, TensorThatIsNotOneBlockEndsWithStatus1) {
    const std::string message =
        fatalOutput("real_fft_3d: data is not one contiguous block of nn1\\*nn2\\*nn3 floats");
    EXPECT_EXIT(runOnSplitTensor(false), ::testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runOnSplitTensor(true), ::testing::ExitedWithCode(1), message);
}

TEST(FftDeathTest, SizesThatWouldRunPastTheArrayAndBadSignsEndWithStatus1) {
    struct Case {
        std::function<void(float*, float***, float**)> call;
        const char* message;
    };
    const std::uint32_t dims_bad[] = {0, 2, 3};
    const std::uint32_t dims_zero[] = {0, 0};
    const std::uint32_t dims_ok[] = {0, 2, 2};
    const std::vector<Case> cases = {
        {[](float* d, auto, auto) { complex_fft(d, 3, 1); },
         "complex_fft: nn = 3 is not a power of two"},
        {[](float* d, auto, auto) { complex_fft(d, 0, -1); },
         "complex_fft: nn = 0 is not a power of two"},
        {[](float* d, auto, auto) { real_fft(d, 1, 1); },
         "real_fft: n = 1 is not a power of two of at least 2"},
        {[](float* d, auto, auto) { real_fft(d, 12, -1); },
         "real_fft: n = 12 is not a power of two of at least 2"},
        {[&](float* d, auto, auto) { complex_fft_nd(d, dims_bad, 2, 1); },
         "complex_fft_nd: dims\\[2\\] = 3 is not a power of two"},
        {[&](float* d, auto, auto) { complex_fft_nd(d, dims_zero, 1, 1); },
         "complex_fft_nd: dims\\[1\\] = 0 is not a power of two"},
        {[&](float* d, auto, auto) { complex_fft_nd(d, dims_ok, 0, 1); },
         "complex_fft_nd: ndim = 0, must be at least 1"},
        {[&](float* d, auto, auto) { complex_fft_nd(d, dims_ok, 2, 0); },
         "complex_fft_nd: sign = 0, must be \\+1 or -1"},
        {[](float*, float*** t, float** q) { real_fft_3d(t, q, 2, 2, 1, 1); },
         "real_fft_3d: nn3 = 1 is not a power of two of at least 2"},
        {[](float*, float*** t, float** q) { real_fft_3d(t, q, 2, 6, 2, 1); },
         "real_fft_3d: nn2 = 6 is not a power of two"},
        {[](float*, float*** t, float** q) { real_fft_3d(t, q, 2, 2, 2, 2); },
         "real_fft_3d: sign = 2, must be \\+1 or -1"},
    };
    std::vector<float> buffer(64, 1.0f);
    float*** t = f3tensor(1, 2, 1, 2, 1, 2);
    float** q = matrix(1, 2, 1, 4);
    for (const auto& c : cases) {
        EXPECT_EXIT(c.call(buffer.data(), t, q), ::testing::ExitedWithCode(1),
                    fatalOutput(c.message));
    }
    release_matrix(q, 1, 2, 1, 4);
    release_f3tensor(t, 1, 2, 1, 2, 1, 2);
}

}  // namespace
