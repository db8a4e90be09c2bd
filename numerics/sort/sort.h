// Sorting, selection and ranking on 1-based arrays (elements 1..n; element 0
// is never touched). All comparisons are ordinary float (or unsigned 16-bit)
// comparisons; one involving a NaN is false.
#pragma once

#include <cstdint>

// arr[1..n] into ascending order, in place (quicksort with an explicit stack of
// 60 entries; "NSTACK too small in sort." ends the process if it overflows).
// n = 0 returns at once.
void sort(std::uint32_t n, float* arr);
// As sort, and brr[1..n] receives the same permutation; stack of 50 entries,
// "NSTACK too small in sort2.". n = 0 returns at once.
void sort2(std::uint32_t n, float* arr, float* brr);
// The k-th smallest of arr[1..n], which ends at arr[k] with arr[1..k-1] <=
// arr[k] <= arr[k+1..n]; the rest of the order is unspecified. k outside 1..n
// ends the process with "k out of range 1..n in kth_smallest" before arr is read.
float kth_smallest(std::uint32_t k, std::uint32_t n, float* arr);
// The same for unsigned 16-bit values ("k out of range 1..n in kth_smallest_u16").
std::uint16_t kth_smallest_u16(std::uint32_t k, std::uint32_t n, std::uint16_t* arr);
// Replaces the ascending w[1..n] by ranks 1..n, ties by their mid-rank; *s
// receives the tie sum, the sum of t^3 - t over tie groups of size t.
void rank_sorted(std::uint32_t n, float* w, float* s);
