#include "numerics/fft/fft.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <utility>

#include "numerics/arrays/arrays.h"

namespace {

// 2*pi as the transforms have always used it: four units in the last place above the
// nearest double, kept so that results stay identical to the rounding.
constexpr double kTwoPi = 6.28318530717959;
constexpr double kPi = 3.141592653589793;

bool isPowerOfTwo(std::uint64_t x) {
    return x != 0 && (x & (x - 1)) == 0;
}

int log2Of(std::uint64_t power_of_two) {
    int bits = 0;
    while (power_of_two > 1) {
        power_of_two >>= 1;
        ++bits;
    }
    return bits;
}

[[noreturn]] void failSize(const char* routine, const char* name, std::uint64_t value,
                           const char* requirement) {
    char message[160];
    std::snprintf(message, sizeof message, "%s: %s = %llu is not %s", routine, name,
                  static_cast<unsigned long long>(value), requirement);
    numeric_fatal_error(message);
}

[[noreturn]] void failSign(const char* routine, int sign) {
    char message[160];
    std::snprintf(message, sizeof message, "%s: sign = %d, must be +1 or -1", routine, sign);
    numeric_fatal_error(message);
}

// The stage's twiddle step exp(i*theta) - 1, as (dw_re, dw_im), from two sines; the cosine
// form would lose the small real part to cancellation.
struct TwiddleStep {
    double dw_re;
    double dw_im;
};

TwiddleStep twiddleStep(double theta) {
    const double w_tmp = std::sin(0.5 * theta);
    return {-2.0 * w_tmp * w_tmp, std::sin(theta)};
}

// w <- w * (1 + dw): the double-precision recurrence that replaces per-element sines.
void advanceTwiddle(double& w_re, double& w_im, const TwiddleStep& step) {
    const double w_tmp = w_re;
    w_re = w_tmp * step.dw_re - w_im * step.dw_im + w_re;
    w_im = w_im * step.dw_re + w_tmp * step.dw_im + w_im;
}

// The one-dimensional complex transform over data[1..n], n being twice the number of points.
void complexTransform(float* data, std::uint64_t n, int sign) {
    std::uint64_t j = 1;
    for (std::uint64_t i = 1; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        std::uint64_t m = n >> 1;
        while (m >= 2 && j > m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }

    std::uint64_t half_span = 2;
    while (n > half_span) {
        const std::uint64_t span = half_span << 1;
        const TwiddleStep step = twiddleStep(sign * (kTwoPi / double(half_span)));
        double w_re = 1.0;
        double w_im = 0.0;
        for (std::uint64_t m = 1; m < half_span; m += 2) {
            for (std::uint64_t i = m; i <= n; i += span) {
                const std::uint64_t k = i + half_span;
                const float t_re = w_re * data[k] - w_im * data[k + 1];
                const float t_im = w_re * data[k + 1] + w_im * data[k];
                data[k] = double(data[i]) - t_re;
                data[k + 1] = double(data[i + 1]) - t_im;
                data[i] = double(data[i]) + t_re;
                data[i + 1] = double(data[i + 1]) + t_im;
            }
            advanceTwiddle(w_re, w_im, step);
        }
        half_span = span;
    }
}

// Reorders every line along one dimension into bit-reversed order. stride1 is the distance
// in floats between neighbours along the dimension, stride2 the length of one line's span,
// stride3 the whole array.
void bitReverseDimension(float* data, std::uint64_t stride1, std::uint64_t stride2,
                         std::uint64_t stride3) {
    std::uint64_t i2_rev = 1;
    for (std::uint64_t i2 = 1; i2 <= stride2; i2 += stride1) {
        if (i2 < i2_rev) {
            for (std::uint64_t i1 = i2; i1 <= i2 + stride1 - 2; i1 += 2) {
                for (std::uint64_t i3 = i1; i3 <= stride3; i3 += stride2) {
                    const std::uint64_t i3_rev = i2_rev + i3 - i2;
                    std::swap(data[i3], data[i3_rev]);
                    std::swap(data[i3 + 1], data[i3_rev + 1]);
                }
            }
        }
        std::uint64_t rev_bit = stride2 >> 1;
        while (rev_bit >= stride1 && i2_rev > rev_bit) {
            i2_rev -= rev_bit;
            rev_bit >>= 1;
        }
        i2_rev += rev_bit;
    }
}

// Butterfly stages along one dimension (strides as in bitReverseDimension). The twiddle is
// rounded to float before it multiplies, unlike in the one-dimensional transform.
void butterfliesDimension(float* data, std::uint64_t stride1, std::uint64_t stride2,
                          std::uint64_t stride3, int sign) {
    std::uint64_t block_len = stride1;
    while (block_len < stride2) {
        const std::uint64_t block_len2 = block_len << 1;
        const TwiddleStep step = twiddleStep((sign * kTwoPi) / double(block_len2 / stride1));
        double w_re = 1.0;
        double w_im = 0.0;
        for (std::uint64_t i3 = 1; i3 <= block_len; i3 += stride1) {
            const double wf_re = float(w_re);
            const double wf_im = float(w_im);
            for (std::uint64_t i1 = i3; i1 <= i3 + stride1 - 2; i1 += 2) {
                for (std::uint64_t k1 = i1; k1 <= stride3; k1 += block_len2) {
                    const std::uint64_t k2 = k1 + block_len;
                    const float t_re = wf_re * data[k2] - wf_im * data[k2 + 1];
                    const float t_im = wf_re * data[k2 + 1] + wf_im * data[k2];
                    data[k2] = double(data[k1]) - t_re;
                    data[k2 + 1] = double(data[k1 + 1]) - t_im;
                    data[k1] = double(data[k1]) + t_re;
                    data[k1 + 1] = double(data[k1 + 1]) + t_im;
                }
            }
            advanceTwiddle(w_re, w_im, step);
        }
        block_len = block_len2;
    }
}

// Product of the dimensions after checking each; also bounds the total so that every
// float index (up to twice the product) fits into 64 bits.
std::uint64_t checkedVolume(const std::uint32_t* dims, int ndim) {
    if (ndim < 1) {
        char message[160];
        std::snprintf(message, sizeof message, "complex_fft_nd: ndim = %d, must be at least 1",
                      ndim);
        numeric_fatal_error(message);
    }
    int total_bits = 0;
    for (int d = 1; d <= ndim; ++d) {
        if (!isPowerOfTwo(dims[d])) {
            char name[32];
            std::snprintf(name, sizeof name, "dims[%d]", d);
            failSize("complex_fft_nd", name, dims[d], "a power of two");
        }
        total_bits += log2Of(dims[d]);
        if (total_bits > 61) {
            numeric_fatal_error("complex_fft_nd: the array has more than 2^61 points");
        }
    }
    return std::uint64_t(1) << total_bits;
}

}  // namespace

void complex_fft(float* data, std::uint32_t nn, int sign) {
    if (!isPowerOfTwo(nn)) failSize("complex_fft", "nn", nn, "a power of two");
    complexTransform(data, 2 * std::uint64_t(nn), sign);
}

void real_fft(float* data, std::uint32_t n, int sign) {
    if (n < 2 || !isPowerOfTwo(n)) failSize("real_fft", "n", n, "a power of two of at least 2");
    const std::uint32_t half = n >> 1;
    const float c1 = 0.5f;
    float c2;
    double theta = kPi / double(half);
    if (sign == 1) {
        c2 = -0.5f;
        complex_fft(data, half, +1);
    } else {
        c2 = 0.5f;
        theta = -theta;
    }
    const TwiddleStep step = twiddleStep(theta);
    // The pass starts at exp(i*theta): the pair of points 0 and n/2 is untangled below.
    double w_re = 1.0 + step.dw_re;
    double w_im = step.dw_im;
    const std::uint64_t quarter = n >> 2;
    for (std::uint64_t i = 2; i <= quarter; ++i) {
        const std::uint64_t i1 = 2 * i - 1;
        const std::uint64_t i2 = i1 + 1;
        const std::uint64_t i3 = std::uint64_t(n) + 3 - i2;
        const std::uint64_t i4 = i3 + 1;
        const float a_re = double(c1) * (double(data[i1]) + data[i3]);
        const float a_im = double(c1) * (double(data[i2]) - data[i4]);
        const float b_re = double(-c2) * (double(data[i2]) + data[i4]);
        const float b_im = double(c2) * (double(data[i1]) - data[i3]);
        data[i1] = a_re + w_re * b_re - w_im * b_im;
        data[i2] = a_im + w_re * b_im + w_im * b_re;
        data[i3] = a_re - w_re * b_re + w_im * b_im;
        data[i4] = -a_im + w_re * b_im + w_im * b_re;
        advanceTwiddle(w_re, w_im, step);
    }
    const float a_re = data[1];
    if (sign == 1) {
        data[1] = double(a_re) + data[2];
        data[2] = double(a_re) - data[2];
    } else {
        data[1] = double(c1) * (double(a_re) + data[2]);
        data[2] = double(c1) * (double(a_re) - data[2]);
        complex_fft(data, half, -1);
    }
}

void complex_fft_nd(float* data, const std::uint32_t* dims, int ndim, int sign) {
    const std::uint64_t total = checkedVolume(dims, ndim);
    if (sign != 1 && sign != -1) failSign("complex_fft_nd", sign);
    std::uint64_t n_before = 1;
    for (int dim_index = ndim; dim_index >= 1; --dim_index) {
        const std::uint64_t n = dims[dim_index];
        const std::uint64_t n_after = total / (n * n_before);
        const std::uint64_t stride1 = 2 * n_before;
        const std::uint64_t stride2 = stride1 * n;
        const std::uint64_t stride3 = stride2 * n_after;
        bitReverseDimension(data, stride1, stride2, stride3);
        butterfliesDimension(data, stride1, stride2, stride3, sign);
        n_before *= n;
    }
}

namespace {

void checkRealFft3dArguments(float*** data, std::uint32_t nn1, std::uint32_t nn2, std::uint32_t nn3,
                             int sign) {
    if (!isPowerOfTwo(nn1)) failSize("real_fft_3d", "nn1", nn1, "a power of two");
    if (!isPowerOfTwo(nn2)) failSize("real_fft_3d", "nn2", nn2, "a power of two");
    if (nn3 < 2 || !isPowerOfTwo(nn3)) {
        failSize("real_fft_3d", "nn3", nn3, "a power of two of at least 2");
    }
    if (sign != 1 && sign != -1) failSign("real_fft_3d", sign);
    // The complex transform runs over the block from data[1][1][1] on, so the last element
    // must lie exactly where one contiguous block would put it. Compared as addresses:
    // the two elements may belong to separate allocations.
    const std::uint64_t count = std::uint64_t(nn1) * nn2 * nn3;
    const auto first = reinterpret_cast<std::uintptr_t>(&data[1][1][1]);
    const auto last = reinterpret_cast<std::uintptr_t>(&data[nn1][nn2][nn3]);
    if (last < first || (last - first) != (count - 1) * sizeof(float)) {
        numeric_fatal_error("real_fft_3d: data is not one contiguous block of nn1*nn2*nn3 floats");
    }
}

}  // namespace

void real_fft_3d(float*** data, float** nyquist, std::uint32_t nn1, std::uint32_t nn2,
                 std::uint32_t nn3, int sign) {
    checkRealFft3dArguments(data, nn1, nn2, nn3, sign);
    const float c1 = 0.5f;
    const float c2 = -0.5 * sign;
    const TwiddleStep step = twiddleStep(sign * (kTwoPi / double(nn3)));
    // Index 0 is unused: the dimension list is one-based like every array here.
    const std::uint32_t nn[4] = {0, nn1, nn2, nn3 >> 1};
    float* block = data[1][1];  // one-based: block[1] is data[1][1][1]

    if (sign == 1) {
        complex_fft_nd(block, nn, 3, sign);
        for (std::uint32_t i1 = 1; i1 <= nn1; ++i1) {
            for (std::uint32_t i2 = 1; i2 <= nn2; ++i2) {
                nyquist[i1][2 * std::size_t(i2) - 1] = data[i1][i2][1];
                nyquist[i1][2 * std::size_t(i2)] = data[i1][i2][2];
            }
        }
    }
    const std::uint32_t last_i3 = (nn3 >> 2) + 1;
    for (std::uint32_t i1 = 1; i1 <= nn1; ++i1) {
        const std::uint32_t j1 = (i1 == 1) ? 1 : nn1 - i1 + 2;
        double w_re = 1.0;
        double w_im = 0.0;
        for (std::uint32_t i3 = 1; i3 <= last_i3; ++i3) {
            const std::size_t ii3 = 2 * std::size_t(i3) - 1;
            for (std::uint32_t i2 = 1; i2 <= nn2; ++i2) {
                float* h = data[i1][i2];
                if (i3 == 1) {
                    // The zero-frequency column pairs with the Nyquist plane, which has its own
                    // matrix.
                    const std::size_t j2 = (i2 == 1) ? 1 : 2 * std::size_t(nn2 - i2) + 3;
                    float* g = nyquist[j1];
                    const float a_re = double(c1) * (double(h[1]) + g[j2]);
                    const float a_im = double(c1) * (double(h[2]) - g[j2 + 1]);
                    const float b_im = double(c2) * (double(h[1]) - g[j2]);
                    const float b_re = double(-c2) * (double(h[2]) + g[j2 + 1]);
                    h[1] = double(a_re) + b_re;
                    h[2] = double(a_im) + b_im;
                    g[j2] = double(a_re) - b_re;
                    g[j2 + 1] = double(b_im) - a_im;
                } else {
                    const std::uint32_t j2 = (i2 == 1) ? 1 : nn2 - i2 + 2;
                    const std::size_t j3 = std::size_t(nn3) + 3 - 2 * std::size_t(i3);
                    float* g = data[j1][j2];
                    const float a_re = double(c1) * (double(h[ii3]) + g[j3]);
                    const float a_im = double(c1) * (double(h[ii3 + 1]) - g[j3 + 1]);
                    const float b_im = double(c2) * (double(h[ii3]) - g[j3]);
                    const float b_re = double(-c2) * (double(h[ii3 + 1]) + g[j3 + 1]);
                    h[ii3] = a_re + w_re * b_re - w_im * b_im;
                    h[ii3 + 1] = a_im + w_re * b_im + w_im * b_re;
                    g[j3] = a_re - w_re * b_re + w_im * b_im;
                    g[j3 + 1] = -a_im + w_re * b_im + w_im * b_re;
                }
            }
            advanceTwiddle(w_re, w_im, step);
        }
    }
    if (sign == -1) complex_fft_nd(block, nn, 3, sign);
}
