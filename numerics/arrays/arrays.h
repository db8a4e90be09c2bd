// Offset-indexed arrays and the numerical library's fatal error exit.
//
// A vector over lo..hi is one heap block of exactly hi - lo + 1 elements whose
// handle is displaced by -lo, so v[lo] is the block's first element; elements
// are not initialised. Every array is released with the matching release_*
// routine and the same lower bounds it was allocated with (upper bounds are
// accepted and ignored). A refused allocation, a negative element count or a
// count product beyond 64 bits ends the process through numeric_fatal_error; no
// allocator returns a null handle.
#pragma once

#include <cstdint>

// The library's "long" element type: 32 bits on every platform.
using nr_long = std::int32_t;

// Writes "Calvento run-time error...", the message and "...now exiting to
// system..." as three lines on stderr, then exit(1).
[[noreturn]] void numeric_fatal_error(const char* message);

// Vectors v[lo..hi] of floats, ints, bytes, nr_longs and doubles.
float* vector(int lo, int hi);
int* ivector(int lo, int hi);
unsigned char* cvector(int lo, int hi);
nr_long* lvector(int lo, int hi);
double* dvector(int lo, int hi);

// Matrices m[row_lo..row_hi][col_lo..col_hi]: a block of row pointers plus one
// contiguous row-major element block.
float** matrix(int row_lo, int row_hi, int col_lo, int col_hi);
double** double_matrix(int row_lo, int row_hi, int col_lo, int col_hi);
int** int_matrix(int row_lo, int row_hi, int col_lo, int col_hi);
// 3-tensors t[row][col][dep]: a matrix's blocks plus a block of (row, column)
// pointers; the elements are one contiguous block.
float*** f3tensor(int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo, int dep_hi);
unsigned char*** c3tensor(int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo, int dep_hi);

// A view that re-bases rows old_row_lo..old_row_hi of a, columns from old_col_lo
// on, so that m[new_row_lo][new_col_lo] is a[old_row_lo][old_col_lo]. old_col_hi
// is unused. The view owns only its row pointers.
float** submatrix(float** a, int old_row_lo, int old_row_hi, int old_col_lo, int old_col_hi,
                  int new_row_lo, int new_col_lo);
// A view of row pointers over a contiguous row-major block whose element
// [row_lo][col_lo] is at a. The view owns only its row pointers.
float** convert_matrix(float* a, int row_lo, int row_hi, int col_lo, int col_hi);

// Releases an array made by the allocator of the same name, given its lower bounds.
void release_vector(float* v, int lo, int hi);
void release_ivector(int* v, int lo, int hi);
void release_cvector(unsigned char* v, int lo, int hi);
void release_lvector(nr_long* v, int lo, int hi);
void release_dvector(double* v, int lo, int hi);

void release_matrix(float** m, int row_lo, int row_hi, int col_lo, int col_hi);
void release_double_matrix(double** m, int row_lo, int row_hi, int col_lo, int col_hi);
void release_int_matrix(int** m, int row_lo, int row_hi, int col_lo, int col_hi);
// Release a view's row pointers only; the viewed elements stay their owner's.
void release_submatrix(float** m, int row_lo, int row_hi, int col_lo, int col_hi);
void release_convert_matrix(float** m, int row_lo, int row_hi, int col_lo, int col_hi);
void release_f3tensor(float*** t, int row_lo, int row_hi, int col_lo, int col_hi, int dep_lo,
                      int dep_hi);
void release_c3tensor(unsigned char*** t, int row_lo, int row_hi, int col_lo, int col_hi,
                      int dep_lo, int dep_hi);
