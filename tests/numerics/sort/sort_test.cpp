#include "numerics/sort/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/numerics/numerics_testing.h"

using simtrove::testing::fatalText;

namespace {

// A 1-based view of a std::vector: element 0 is a guard that must stay untouched,
// and one guard sits behind the last element.
constexpr float kGuard = -12345.0f;
std::vector<float> withGuards(const std::vector<float>& values) {
    std::vector<float> v{kGuard};
    v.insert(v.end(), values.begin(), values.end());
    v.push_back(kGuard);
    return v;
}
std::vector<float> payload(const std::vector<float>& guarded) {
    return {guarded.begin() + 1, guarded.end() - 1};
}

struct Input {
    const char* name;
    std::vector<float> values;
};

// Ordered, reversed, all-equal and seeded random inputs of sizes on both sides
// of the insertion threshold and large enough to need the partition stack.
std::vector<Input> inputs() {
    std::vector<Input> all;
    for (std::uint32_t n : {1u, 2u, 7u, 8u, 9u, 100u, 5000u}) {
        std::vector<float> ordered(n), equal(n, 3.5f), random(n), few(n);
        std::mt19937 gen(1234 + n);
        std::uniform_real_distribution<float> uni(-100.0f, 100.0f);
        std::uniform_int_distribution<int> small(0, 4);
        for (std::uint32_t i = 0; i < n; ++i) {
            ordered[i] = float(i) - 3.0f;
            random[i] = uni(gen);
            few[i] = float(small(gen));  // many ties
        }
        std::vector<float> reversed(ordered.rbegin(), ordered.rend());
        all.push_back({"ordered", ordered});
        all.push_back({"reversed", reversed});
        all.push_back({"equal", equal});
        all.push_back({"random", random});
        all.push_back({"ties", few});
    }
    return all;
}

// Reference: std::sort of the same values.
TEST(Sort, MatchesStdSort) {
    for (const Input& in : inputs()) {
        std::vector<float> v = withGuards(in.values);
        sort(std::uint32_t(in.values.size()), v.data());
        std::vector<float> expected = in.values;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(payload(v), expected) << in.name << " n=" << in.values.size();
        EXPECT_EQ(v.front(), kGuard);
        EXPECT_EQ(v.back(), kGuard);
    }
}

TEST(Sort, ZeroCountLeavesTheArrayAlone) {
    std::vector<float> v = withGuards({});
    sort(0, v.data());
    sort2(0, v.data(), v.data());
    EXPECT_EQ(v, withGuards({}));
}

// Each brr value encodes its original key and position, so the pairing can be checked.
TEST(Sort2, CarriesTheCompanionAlong) {
    for (const Input& in : inputs()) {
        const std::size_t n = in.values.size();
        std::vector<float> a = withGuards(in.values);
        std::vector<float> b(n + 2, kGuard);
        for (std::size_t i = 1; i <= n; ++i) b[i] = float(i);
        sort2(std::uint32_t(n), a.data(), b.data());
        std::vector<float> expected = in.values;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(payload(a), expected) << in.name << " n=" << n;
        std::vector<float> positions = payload(b);
        for (std::size_t i = 1; i <= n; ++i)
            EXPECT_EQ(a[i], in.values[std::size_t(b[i]) - 1]) << in.name << " i=" << i;
        std::sort(positions.begin(), positions.end());
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(positions[i], float(i + 1));
        EXPECT_EQ(b.front(), kGuard);
        EXPECT_EQ(b.back(), kGuard);
    }
}

TEST(Sort2, SmallExample) {
    std::vector<float> a = withGuards({3, 1, 2}), b = withGuards({30, 10, 20});
    sort2(3, a.data(), b.data());
    EXPECT_EQ(payload(a), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(payload(b), (std::vector<float>{10, 20, 30}));
}

// Reference: std::nth_element; the partition property is checked around arr[k].
TEST(KthSmallest, MatchesNthElementForEveryPosition) {
    for (const Input& in : inputs()) {
        const std::uint32_t n = std::uint32_t(in.values.size());
        const std::uint32_t ks[] = {1, (n + 1) / 2, n};
        for (std::uint32_t k : ks) {
            std::vector<float> v = withGuards(in.values);
            const float got = kth_smallest(k, n, v.data());
            std::vector<float> expected = in.values;
            std::nth_element(expected.begin(), expected.begin() + (k - 1), expected.end());
            EXPECT_EQ(got, expected[k - 1]) << in.name << " n=" << n << " k=" << k;
            EXPECT_EQ(v[k], got);
            for (std::uint32_t i = 1; i < k; ++i) EXPECT_LE(v[i], got);
            for (std::uint32_t i = k + 1; i <= n; ++i) EXPECT_GE(v[i], got);
            std::vector<float> sorted_back = payload(v), sorted_in = in.values;
            std::sort(sorted_back.begin(), sorted_back.end());
            std::sort(sorted_in.begin(), sorted_in.end());
            EXPECT_EQ(sorted_back, sorted_in);  // a permutation of the input
            EXPECT_EQ(v.front(), kGuard);
            EXPECT_EQ(v.back(), kGuard);
        }
    }
}

TEST(KthSmallestU16, ComparesAsUnsigned) {
    std::uint16_t v[] = {0, 65535, 0, 40000};
    EXPECT_EQ(kth_smallest_u16(2, 3, v), 40000);
    EXPECT_EQ(v[2], 40000);
    std::mt19937 gen(77);
    std::vector<std::uint16_t> r(301);
    for (auto& x : r) x = std::uint16_t(gen());
    std::vector<std::uint16_t> expected(r.begin() + 1, r.end());
    std::nth_element(expected.begin(), expected.begin() + 149, expected.end());
    EXPECT_EQ(kth_smallest_u16(150, 300, r.data()), expected[149]);
}

TEST(KthSmallest, KOutsideTheRangeEndsTheProcess) {
    float v[] = {0, 1, 2, 3};
    std::uint16_t u[] = {0, 1, 2, 3};
    const auto exit1 = ::testing::ExitedWithCode(1);
    EXPECT_EXIT(kth_smallest(0, 3, v), exit1, fatalText("k out of range 1..n in kth_smallest"));
    EXPECT_EXIT(kth_smallest(4, 3, v), exit1, fatalText("k out of range 1..n in kth_smallest"));
    EXPECT_EXIT(kth_smallest(1, 0, v), exit1, fatalText("k out of range 1..n in kth_smallest"));
    EXPECT_EXIT(kth_smallest_u16(4, 3, u), exit1,
                fatalText("k out of range 1..n in kth_smallest_u16"));
}

// Expected ranks by hand: mid-ranks for ties, s = sum of t^3 - t per tie group.
TEST(RankSorted, RanksAndTieSum) {
    struct Row {
        std::vector<float> sorted, ranks;
        float s;
    };
    const Row rows[] = {
        {{1, 2, 2, 2, 5}, {1, 3, 3, 3, 5}, 24.0f},
        {{7, 7}, {1.5f, 1.5f}, 6.0f},
        {{4}, {1}, 0.0f},
        {{1, 2, 3, 4}, {1, 2, 3, 4}, 0.0f},
        {{1, 1, 2, 3, 3, 3, 3}, {1.5f, 1.5f, 3, 5.5f, 5.5f, 5.5f, 5.5f}, 66.0f},
        {{0, 0, 0, 0, 0, 0, 0, 0}, {4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f}, 504.0f},
        {{}, {}, 0.0f},
    };
    for (const Row& r : rows) {
        std::vector<float> w = withGuards(r.sorted);
        float s = -1.0f;
        rank_sorted(std::uint32_t(r.sorted.size()), w.data(), &s);
        EXPECT_EQ(payload(w), r.ranks);
        EXPECT_EQ(s, r.s);
        EXPECT_EQ(w.front(), kGuard);
        EXPECT_EQ(w.back(), kGuard);
    }
}

}  // namespace
