// Test helpers: owning wrappers around the library's 1-based float arrays.
#pragma once

#include <initializer_list>
#include <vector>

#include "numerics/arrays/arrays.h"

// A float matrix over [1..rows][1..cols], released on scope exit.
class OffsetMatrix {
  public:
    OffsetMatrix(int rows, int cols) : rows_(rows), cols_(cols), m_(matrix(1, rows, 1, cols)) {
        for (int i = 1; i <= rows; ++i)
            for (int j = 1; j <= cols; ++j) m_[i][j] = 0.0f;
    }
    OffsetMatrix(std::initializer_list<std::initializer_list<double>> rows)
        : OffsetMatrix(int(rows.size()), int(rows.begin()->size())) {
        int i = 1;
        for (const auto& row : rows) {
            int j = 1;
            for (double x : row) m_[i][j++] = float(x);
            ++i;
        }
    }
    OffsetMatrix(const OffsetMatrix& other) : OffsetMatrix(other.rows_, other.cols_) {
        for (int i = 1; i <= rows_; ++i)
            for (int j = 1; j <= cols_; ++j) m_[i][j] = other.m_[i][j];
    }
    OffsetMatrix& operator=(const OffsetMatrix&) = delete;
    ~OffsetMatrix() { release_matrix(m_, 1, rows_, 1, cols_); }

    float** get() const { return m_; }
    float* operator[](int i) const { return m_[i]; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

  private:
    int rows_;
    int cols_;
    float** m_;
};

// A float vector over [1..n], released on scope exit.
class OffsetVector {
  public:
    explicit OffsetVector(int n) : n_(n), v_(vector(1, n)) {
        for (int i = 1; i <= n; ++i) v_[i] = 0.0f;
    }
    OffsetVector(std::initializer_list<double> values) : OffsetVector(int(values.size())) {
        int i = 1;
        for (double x : values) v_[i++] = float(x);
    }
    OffsetVector(const OffsetVector& other) : OffsetVector(other.n_) {
        for (int i = 1; i <= n_; ++i) v_[i] = other.v_[i];
    }
    OffsetVector& operator=(const OffsetVector&) = delete;
    ~OffsetVector() { release_vector(v_, 1, n_); }

    float* get() const { return v_; }
    float& operator[](int i) const { return v_[i]; }
    int size() const { return n_; }

  private:
    int n_;
    float* v_;
};

// (A B)[i][j] in double, for 1-based A (n x k) and B (k x p).
inline double productElement(float** a, float** b, int i, int j, int k) {
    double s = 0.0;
    for (int l = 1; l <= k; ++l) s += double(a[i][l]) * b[l][j];
    return s;
}
