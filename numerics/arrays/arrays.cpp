#include "numerics/arrays/arrays.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

void numeric_fatal_error(const char* message) {
    std::fprintf(stderr, "Calvento run-time error...\n");
    std::fprintf(stderr, "%s\n", message);
    std::fprintf(stderr, "...now exiting to system...\n");
    std::exit(1);
}

namespace {

// Element count of lo..hi; computed in 64 bits so that no bound pair overflows.
std::int64_t countOf(int lo, int hi) {
    return std::int64_t(hi) - lo + 1;
}

// Product of two counts, or -1 (an impossible request) when either count is
// negative or the product leaves 64 bits; two counts of 2^32 would overflow.
std::int64_t productOf(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    if (a < 0 || b < 0 || __builtin_mul_overflow(a, b, &product)) return -1;
    return product;
}

// One heap block of count elements of size bytes, or the fatal exit with message.
// A negative count is an impossible request and fails like a refused one; an empty
// range still yields a block of one element, so that the pointer blocks of an empty
// matrix or tensor can hold the single pointer that their release routines read.
void* obtainBlock(std::int64_t count, std::size_t size, const char* message) {
    if (count < 0 || std::uint64_t(count) > SIZE_MAX / size) numeric_fatal_error(message);
    std::size_t bytes = std::size_t(count) * size;
    void* block = std::malloc(bytes == 0 ? size : bytes);
    if (block == nullptr) numeric_fatal_error(message);
    return block;
}

template <typename T>
T* offsetVector(int lo, int hi, const char* message) {
    T* block = static_cast<T*>(obtainBlock(countOf(lo, hi), sizeof(T), message));
    return block - lo;
}

template <typename T>
T** offsetMatrix(int row_lo, int row_hi, int col_lo, int col_hi, const char* message1,
                 const char* message2) {
    const std::int64_t rows = countOf(row_lo, row_hi);
    const std::int64_t cols = countOf(col_lo, col_hi);
    T** m = static_cast<T**>(obtainBlock(rows, sizeof(T*), message1)) - row_lo;
    const std::int64_t elements = productOf(rows, cols);
    m[row_lo] = static_cast<T*>(obtainBlock(elements, sizeof(T), message2)) - col_lo;
    for (std::int64_t i = 1; i < rows; ++i) m[row_lo + i] = m[row_lo + i - 1] + cols;
    return m;
}

template <typename T>
T*** offsetTensor(int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo, int dep_hi,
                  const char* message1, const char* message2, const char* message3) {
    const std::int64_t rows = countOf(row_lo, row_hi);
    const std::int64_t cols = countOf(col_lo, col_hi);
    const std::int64_t deps = countOf(dep_lo, dep_hi);
    // Each block is judged on its own count, so the message names the block refused.
    const std::int64_t pointers = productOf(rows, cols);
    const std::int64_t elements = pointers < 0 ? -1 : productOf(pointers, deps);
    T*** t = static_cast<T***>(obtainBlock(rows, sizeof(T**), message1)) - row_lo;
    t[row_lo] = static_cast<T**>(obtainBlock(pointers, sizeof(T*), message2)) - col_lo;
    t[row_lo][col_lo] = static_cast<T*>(obtainBlock(elements, sizeof(T), message3)) - dep_lo;
    // With no rows the column pointers have no block to live in.
    const std::int64_t first_row_cols = rows > 0 ? cols : 0;
    for (std::int64_t j = 1; j < first_row_cols; ++j)
        t[row_lo][col_lo + j] = t[row_lo][col_lo + j - 1] + deps;
    for (std::int64_t i = 1; i < rows; ++i) {
        t[row_lo + i] = t[row_lo + i - 1] + cols;
        t[row_lo + i][col_lo] = t[row_lo + i - 1][col_lo] + cols * deps;
        for (std::int64_t j = 1; j < cols; ++j)
            t[row_lo + i][col_lo + j] = t[row_lo + i][col_lo + j - 1] + deps;
    }
    return t;
}

}  // namespace

float* vector(int lo, int hi) {
    return offsetVector<float>(lo, hi, "allocation failure in vector()");
}
int* ivector(int lo, int hi) {
    return offsetVector<int>(lo, hi, "allocation failure in ivector()");
}
unsigned char* cvector(int lo, int hi) {
    return offsetVector<unsigned char>(lo, hi, "allocation failure in cvector()");
}
nr_long* lvector(int lo, int hi) {
    return offsetVector<nr_long>(lo, hi, "allocation failure in lvector()");
}
double* dvector(int lo, int hi) {
    return offsetVector<double>(lo, hi, "allocation failure in dvector()");
}

float** matrix(int row_lo, int row_hi, int col_lo, int col_hi) {
    return offsetMatrix<float>(row_lo, row_hi, col_lo, col_hi, "allocation failure 1 in matrix()",
                               "allocation failure 2 in matrix()");
}
double** double_matrix(int row_lo, int row_hi, int col_lo, int col_hi) {
    return offsetMatrix<double>(row_lo, row_hi, col_lo, col_hi, "allocation failure 1 in matrix()",
                                "allocation failure 2 in matrix()");
}
int** int_matrix(int row_lo, int row_hi, int col_lo, int col_hi) {
    return offsetMatrix<int>(row_lo, row_hi, col_lo, col_hi, "allocation failure 1 in matrix()",
                             "allocation failure 2 in matrix()");
}
float*** f3tensor(int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo, int dep_hi) {
    return offsetTensor<float>(
        row_lo, row_hi, col_lo, col_hi, dep_lo, dep_hi, "allocation failure 1 in f3tensor()",
        "allocation failure 2 in f3tensor()", "allocation failure 3 in f3tensor()");
}
unsigned char*** c3tensor(int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo, int dep_hi) {
    return offsetTensor<unsigned char>(
        row_lo, row_hi, col_lo, col_hi, dep_lo, dep_hi, "allocation failure 1 in c3tensor()",
        "allocation failure 2 in c3tensor()", "allocation failure 3 in c3tensor()");
}

float** submatrix(float** a, int old_row_lo, int old_row_hi, int old_col_lo, int /*old_col_hi*/,
                  int new_row_lo, int new_col_lo) {
    const std::int64_t rows = countOf(old_row_lo, old_row_hi);
    float** m = static_cast<float**>(
                    obtainBlock(rows, sizeof(float*), "allocation failure in submatrix()")) -
                new_row_lo;
    const std::int64_t shift = std::int64_t(old_col_lo) - new_col_lo;
    for (std::int64_t k = 0; k < rows; ++k) m[new_row_lo + k] = a[old_row_lo + k] + shift;
    return m;
}

float** convert_matrix(float* a, int row_lo, int row_hi, int col_lo, int col_hi) {
    const std::int64_t rows = countOf(row_lo, row_hi);
    const std::int64_t cols = countOf(col_lo, col_hi);
    float** m = static_cast<float**>(
                    obtainBlock(rows, sizeof(float*), "allocation failure in convert_matrix()")) -
                row_lo;
    if (rows > 0) m[row_lo] = a - col_lo;
    for (std::int64_t k = 1; k < rows; ++k) m[row_lo + k] = m[row_lo + k - 1] + cols;
    return m;
}

void release_vector(float* v, int lo, int) {
    std::free(v + lo);
}
void release_ivector(int* v, int lo, int) {
    std::free(v + lo);
}
void release_cvector(unsigned char* v, int lo, int) {
    std::free(v + lo);
}
void release_lvector(nr_long* v, int lo, int) {
    std::free(v + lo);
}
void release_dvector(double* v, int lo, int) {
    std::free(v + lo);
}

void release_matrix(float** m, int row_lo, int, int col_lo, int) {
    std::free(m[row_lo] + col_lo);
    std::free(m + row_lo);
}
void release_double_matrix(double** m, int row_lo, int, int col_lo, int) {
    std::free(m[row_lo] + col_lo);
    std::free(m + row_lo);
}
void release_int_matrix(int** m, int row_lo, int, int col_lo, int) {
    std::free(m[row_lo] + col_lo);
    std::free(m + row_lo);
}
void release_submatrix(float** m, int row_lo, int, int, int) {
    std::free(m + row_lo);
}
void release_convert_matrix(float** m, int row_lo, int, int, int) {
    std::free(m + row_lo);
}

void release_f3tensor(float*** t, int row_lo, int, int col_lo, int, int dep_lo, int) {
    std::free(t[row_lo][col_lo] + dep_lo);
    std::free(t[row_lo] + col_lo);
    std::free(t + row_lo);
}
void release_c3tensor(unsigned char*** t, int row_lo, int, int col_lo, int, int dep_lo, int) {
    std::free(t[row_lo][col_lo] + dep_lo);
    std::free(t[row_lo] + col_lo);
    std::free(t + row_lo);
}
