// In-place heap sort of a 1-based float array.
#pragma once

// Sorts ra[1..n] into ascending order with no work storage in O(n log n) time
// for every input, sorted or not. n < 2 leaves ra untouched. -0 and +0 compare
// equal and may come out in either order; the order of NaN values is
// unspecified.
void heap_sort(unsigned int n, float ra[]);
