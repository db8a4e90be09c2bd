// Singular value decomposition of 1-based float matrices.
#pragma once

// Set by svd_decompose when a singular value stopped at the iteration limit.
// Cleared on entry of every svd_decompose call; read it before the next call
// begins. Calls must not overlap in time.
extern bool svd_not_converged;

// Factors the m x n matrix in a as U diag(w) V^T: a is overwritten by U (m x n,
// orthonormal columns when m >= n), w[1..n] receives the singular values
// (unsorted, w[k] belonging to column k of U and V) and v[1..n][1..n] receives V
// itself, not its transpose. m < n is accepted and yields at least n - m
// singular values that are zero or below 1e-6. The iteration treats any
// superdiagonal or diagonal element below 1e-6 in magnitude as zero, whatever
// the scale of the matrix. A singular value still unconverged after 100
// iterations is left as it stands (possibly negative) and sets
// svd_not_converged; nothing is reported otherwise.
void svd_decompose(float** a, int m, int n, float* w, float** v);
// sqrt(p^2 + q^2) without intermediate overflow.
float hypotenuse(float p, float q);
