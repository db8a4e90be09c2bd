#include "numerics/sort/sort.h"

#include <utility>

#include "numerics/arrays/arrays.h"

namespace {

// Ranges of at most this many elements beyond the first are finished by insertion.
constexpr std::uint32_t kInsertionLimit = 7;

// Does nothing to a second array: lets sort and sort2 share one body.
struct NoCompanion {
    void swap(std::uint32_t, std::uint32_t) {}
    void move(std::uint32_t, std::uint32_t) {}
    float take(std::uint32_t) { return 0.0f; }
    void put(std::uint32_t, float) {}
};

// Mirrors every exchange and move of the keys on brr.
struct Companion {
    float* brr;
    void swap(std::uint32_t x, std::uint32_t y) { std::swap(brr[x], brr[y]); }
    void move(std::uint32_t to, std::uint32_t from) { brr[to] = brr[from]; }
    float take(std::uint32_t i) { return brr[i]; }
    void put(std::uint32_t i, float v) { brr[i] = v; }
};

// Median of three with the middle element moved to l + 1, then the partition
// scans; arr[l] and arr[ir] are the sentinels that keep the scans in bounds.
// Returns the final position j of the pivot; i is where the left scan stopped.
template <typename T, typename Pair>
std::uint32_t partitionRange(T* arr, Pair& pair, std::uint32_t l, std::uint32_t ir,
                             std::uint32_t& i_out) {
    // Midpoint written so that l + ir cannot wrap for counts near 2^32.
    const std::uint32_t m = l + (ir - l) / 2;
    std::swap(arr[m], arr[l + 1]);
    pair.swap(m, l + 1);
    if (arr[l] > arr[ir]) {
        std::swap(arr[l], arr[ir]);
        pair.swap(l, ir);
    }
    if (arr[l + 1] > arr[ir]) {
        std::swap(arr[l + 1], arr[ir]);
        pair.swap(l + 1, ir);
    }
    if (arr[l] > arr[l + 1]) {
        std::swap(arr[l], arr[l + 1]);
        pair.swap(l, l + 1);
    }
    std::uint32_t i = l + 1;
    std::uint32_t j = ir;
    const T a = arr[l + 1];
    const float b = pair.take(l + 1);
    for (;;) {
        do ++i;
        while (arr[i] < a);
        do --j;
        while (arr[j] > a);
        if (j < i) break;
        std::swap(arr[i], arr[j]);
        pair.swap(i, j);
    }
    arr[l + 1] = arr[j];
    arr[j] = a;
    pair.move(l + 1, j);
    pair.put(j, b);
    i_out = i;
    return j;
}

template <typename Pair>
void insertionSort(float* arr, Pair& pair, std::uint32_t l, std::uint32_t ir) {
    for (std::uint32_t j = l + 1; j <= ir; ++j) {
        const float a = arr[j];
        const float b = pair.take(j);
        std::uint32_t i = j - 1;
        // l >= 1, so i may reach l - 1 without wrapping.
        for (; i >= l; --i) {
            if (arr[i] <= a) break;
            arr[i + 1] = arr[i];
            pair.move(i + 1, i);
        }
        arr[i + 1] = a;
        pair.put(i + 1, b);
    }
}

template <typename Pair>
void quickSort(std::uint32_t n, float* arr, Pair pair, int nstack, const char* overflow_message) {
    if (n == 0) return;
    int* stack = ivector(1, nstack);
    int fill = 0;
    std::uint32_t l = 1;
    std::uint32_t ir = n;
    for (;;) {
        if (ir - l < kInsertionLimit) {
            insertionSort(arr, pair, l, ir);
            if (fill == 0) break;
            // The stack holds indices as int; the round trip through int is exact.
            ir = static_cast<std::uint32_t>(stack[fill]);
            l = static_cast<std::uint32_t>(stack[fill - 1]);
            fill -= 2;
            continue;
        }
        std::uint32_t i = 0;
        const std::uint32_t j = partitionRange(arr, pair, l, ir, i);
        fill += 2;
        if (fill > nstack) numeric_fatal_error(overflow_message);
        if (ir - i + 1 >= j - l) {
            stack[fill] = static_cast<int>(ir);
            stack[fill - 1] = static_cast<int>(i);
            ir = j - 1;
        } else {
            stack[fill] = static_cast<int>(j - 1);
            stack[fill - 1] = static_cast<int>(l);
            l = i;
        }
    }
    release_ivector(stack, 1, nstack);
}

template <typename T>
T select(std::uint32_t k, std::uint32_t n, T* arr, const char* range_message) {
    if (k < 1 || k > n) numeric_fatal_error(range_message);
    NoCompanion none;
    std::uint32_t l = 1;
    std::uint32_t ir = n;
    for (;;) {
        if (ir <= l + 1) {
            if (ir == l + 1 && arr[ir] < arr[l]) std::swap(arr[l], arr[ir]);
            return arr[k];
        }
        std::uint32_t i = 0;
        const std::uint32_t j = partitionRange(arr, none, l, ir, i);
        if (j >= k) ir = j - 1;
        if (j <= k) l = i;
    }
}

}  // namespace

void sort(std::uint32_t n, float* arr) {
    quickSort(n, arr, NoCompanion{}, 60, "NSTACK too small in sort.");
}

void sort2(std::uint32_t n, float* arr, float* brr) {
    quickSort(n, arr, Companion{brr}, 50, "NSTACK too small in sort2.");
}

float kth_smallest(std::uint32_t k, std::uint32_t n, float* arr) {
    return select(k, n, arr, "k out of range 1..n in kth_smallest");
}

std::uint16_t kth_smallest_u16(std::uint32_t k, std::uint32_t n, std::uint16_t* arr) {
    return select(k, n, arr, "k out of range 1..n in kth_smallest_u16");
}

void rank_sorted(std::uint32_t n, float* w, float* s) {
    *s = 0.0f;
    std::uint32_t j = 1;
    while (j < n) {
        if (w[j + 1] != w[j]) {
            w[j] = float(j);
            ++j;
            continue;
        }
        std::uint32_t jt = j + 1;
        while (jt <= n && w[jt] == w[j]) ++jt;
        const float rank = float(0.5 * double(std::uint64_t(j) + jt - 1));
        for (std::uint32_t ji = j; ji < jt; ++ji) w[ji] = rank;
        // The tie sum is accumulated in float on purpose.
        const float t = float(jt - j);
        *s = *s + (t * t * t - t);
        j = jt;
    }
    if (j == n) w[n] = float(n);
}
