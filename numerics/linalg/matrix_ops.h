// Dense operations on 0-based float matrices (n x m: n row pointers, element
// (i, j) at [i][j]) and the pseudo-inverse of a square matrix. Sums are
// accumulated in float from 0; outputs must not overlap inputs.
#pragma once

// c (n x p) = a (n x m) b (m x p).
void matrix_multiply(float** a, float** b, float** c, int n, int m, int p);
// g (n x n) = a a^T for a (n x m), computed on the lower triangle and mirrored.
void matrix_gram(float** a, float** g, int n, int m);
// matrix_gram(a, c, n, p); b and m are unused.
void matrix_gram_product(float** a, float** b, float** c, int n, int m, int p);
// y[0..n-1] = a x[0..m-1].
void matrix_vector_multiply(float** a, float* x, float* y, int n, int m);
// b (m x n) = a^T for a (n x m).
void matrix_transpose(float** a, float** b, int n, int m);
// Copies rows x cols elements; mode 0: 0-based to 0-based, 1: 1-based to
// 1-based, 2: 0-based to 1-based, 3: 1-based to 0-based; any other mode copies
// nothing.
void matrix_copy(float** src, float** dst, int rows, int cols, int mode);
// a[i][j] *= s[i] for a (n x m).
void matrix_scale_rows(float* s, float** a, int n, int m);
// r = a+ (Moore-Penrose) of a (n x n) through the singular value decomposition,
// dropping singular values below 1e-6 of the largest; an all-zero a gives an
// all-zero r. Always returns true. Calls svd_decompose and reads its
// non-convergence flag.
bool pseudo_inverse(float** a, float** r, int n);
