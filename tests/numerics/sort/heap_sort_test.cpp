#include "numerics/sort/heap_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Sorts a copy through the 1-based interface (element 0 is a sentinel that
// must survive).
std::vector<float> heapSorted(std::vector<float> values) {
    std::vector<float> data(values.size() + 1);
    data[0] = -12345.0f;
    std::copy(values.begin(), values.end(), data.begin() + 1);
    heap_sort(unsigned(values.size()), data.data());
    EXPECT_EQ(data[0], -12345.0f);
    return {data.begin() + 1, data.end()};
}

std::vector<float> stdSorted(std::vector<float> values) {
    std::sort(values.begin(), values.end());
    return values;
}

TEST(HeapSort, AgreesWithStdSort) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> uniform(-100.0f, 100.0f);
    std::uniform_int_distribution<int> small(-3, 3);
    std::vector<std::pair<const char*, std::vector<float>>> cases = {
        {"empty", {}},
        {"one", {4}},
        {"pair descending", {2, 1}},
        {"pair ascending", {1, 2}},
        {"short with ties", {3, 1, 2, 3, 1}},
        {"negatives and zeros", {0.0f, -1.5f, 2.0f, -0.0f, -7.0f, 0.0f, 1e-30f, -1e30f}},
    };
    for (unsigned n : {2u, 3u, 7u, 64u, 1000u, 1023u, 1024u, 1025u}) {
        std::vector<float> ascending(n), descending(n), equal(n, 2.5f), random(n), few(n);
        for (unsigned i = 0; i < n; ++i) {
            ascending[i] = float(i) - 10.0f;
            descending[i] = float(n - i);
            random[i] = uniform(rng);
            few[i] = float(small(rng));
        }
        cases.push_back({"ascending", ascending});
        cases.push_back({"descending", descending});
        cases.push_back({"equal", equal});
        cases.push_back({"random", random});
        cases.push_back({"few distinct values", few});
    }
    for (const auto& [name, values] : cases) {
        SCOPED_TRACE(::testing::Message() << name << ", n = " << values.size());
        const std::vector<float> got = heapSorted(values);
        const std::vector<float> expected = stdSorted(values);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << i;
    }
}

// Values are what is sorted, not bit patterns: the two zeros compare equal and
// nothing is lost or duplicated.
TEST(HeapSort, SignedZerosSortByValue) {
    const std::vector<float> got = heapSorted({1.0f, -0.0f, 0.0f, -1.0f, -0.0f});
    EXPECT_EQ(got[0], -1.0f);
    int negative_zeros = 0;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(got[i], 0.0f);
        negative_zeros += std::signbit(got[i]);
    }
    EXPECT_EQ(negative_zeros, 2);
    EXPECT_EQ(got[4], 1.0f);
}

}  // namespace
