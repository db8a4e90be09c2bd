// Eigenvalues and eigenvectors of real symmetric 1-based float matrices.
#pragma once

// Diagonalises a (1..n x 1..n) by cyclic Jacobi rotations. Only the diagonal and
// the upper triangle are read; the upper triangle is destroyed, the diagonal and
// lower triangle are left alone. d[1..n] receives the eigenvalues (unsorted),
// column k of v the normalised eigenvector of d[k], *rotations the number of
// rotations applied. An upper triangle not exactly zero after 50 sweeps ends the
// process with "Too many iterations in routine jacobi".
void jacobi(float** a, int n, float d[], float** v, int* rotations);
// Orders d[1..n] descending and permutes the columns of v alike (straight
// selection; among equal values the last one wins).
void sort_eigen_descending(float d[], float** v, int n);
