// Dense operations on 0-based float matrices (n x m: n row pointers, element
// (i, j) at [i][j]) and the pseudo-inverse of a square matrix. Sums are
// accumulated in float from 0; outputs must not overlap inputs.
//
// matrix_multiply(a, b, c, n, m, p):      c (n x p) = a (n x m) b (m x p)
// matrix_gram(a, g, n, m):                g (n x n) = a a^T, computed on the lower
//                                         triangle and mirrored
// matrix_gram_product(a, b, c, n, m, p):  matrix_gram(a, c, n, p); b, m unused
// matrix_vector_multiply(a, x, y, n, m):  y[0..n-1] = a x[0..m-1]
// matrix_transpose(a, b, n, m):           b (m x n) = a^T
// matrix_copy(src, dst, rows, cols, mode):rows x cols elements, mode 0: 0-based
//                                         to 0-based, 1: 1-based to 1-based,
//                                         2: 0-based to 1-based, 3: 1-based to
//                                         0-based; any other mode copies nothing
// matrix_scale_rows(s, a, n, m):          a[i][j] *= s[i]
// pseudo_inverse(a, r, n):                r = a+ (Moore-Penrose) through the
//                                         singular value decomposition, dropping
//                                         singular values below 1e-6 of the
//                                         largest; an all-zero a gives an
//                                         all-zero r. Always returns true. Calls
//                                         svd_decompose and reads its
//                                         non-convergence flag.
#pragma once

void matrix_multiply(float** a, float** b, float** c, int n, int m, int p);
void matrix_gram(float** a, float** g, int n, int m);
void matrix_gram_product(float** a, float** b, float** c, int n, int m, int p);
void matrix_vector_multiply(float** a, float* x, float* y, int n, int m);
void matrix_transpose(float** a, float** b, int n, int m);
void matrix_copy(float** src, float** dst, int rows, int cols, int mode);
void matrix_scale_rows(float* s, float** a, int n, int m);
bool pseudo_inverse(float** a, float** r, int n);
