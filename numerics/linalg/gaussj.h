// Gauss-Jordan elimination with full pivoting on 1-based float matrices.
#pragma once

// Solves A X = B for the m right-hand-side columns of b (rows 1..n, columns
// 1..m) and replaces a (1..n x 1..n) by its inverse, both in the row and column
// order of the input. With m = 0 only a is inverted and b is never touched.
// Among pivot candidates of equal magnitude the last one met in row-major order
// wins. There is no tolerance: an exactly zero pivot ends the process with
// "gaussj: Singular Matrix-2" (a column chosen twice with "gaussj: Singular
// Matrix-1"), and a pass without any comparable candidate (NaN elements) with
// "gaussj: no pivot found, matrix holds NaN". a and b are then left partly
// reduced.
void gaussj(float** a, int n, float** b, int m);
