// Sorting, selection and ranking on 1-based arrays (elements 1..n; element 0
// is never touched). All comparisons are ordinary float (or unsigned 16-bit)
// comparisons; one involving a NaN is false.
//
// sort(n, arr): arr[1..n] into ascending order, in place (quicksort with an
//   explicit stack of 60 entries; "NSTACK too small in sort." ends the process
//   if it overflows). n = 0 returns at once.
// sort2(n, arr, brr): as sort, and brr[1..n] receives the same permutation;
//   stack of 50 entries, "NSTACK too small in sort2.". n = 0 returns at once.
// kth_smallest(k, n, arr): the k-th smallest of arr[1..n], which ends at arr[k]
//   with arr[1..k-1] <= arr[k] <= arr[k+1..n]; the rest of the order is
//   unspecified. k outside 1..n ends the process with
//   "k out of range 1..n in kth_smallest" before arr is read.
// kth_smallest_u16(k, n, arr): the same for unsigned 16-bit values
//   ("k out of range 1..n in kth_smallest_u16").
// rank_sorted(n, w, s): replaces the ascending w[1..n] by ranks 1..n, ties by
//   their mid-rank; *s receives the tie sum, the sum of t^3 - t over tie groups
//   of size t.
#pragma once

#include <cstdint>

void sort(std::uint32_t n, float* arr);
void sort2(std::uint32_t n, float* arr, float* brr);
float kth_smallest(std::uint32_t k, std::uint32_t n, float* arr);
std::uint16_t kth_smallest_u16(std::uint32_t k, std::uint32_t n, std::uint16_t* arr);
void rank_sorted(std::uint32_t n, float* w, float* s);
