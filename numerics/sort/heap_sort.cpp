#include "numerics/sort/heap_sort.h"

void heap_sort(unsigned int n, float ra[]) {
    if (n < 2) return;
    unsigned int l = n / 2 + 1;
    unsigned int ir = n;
    for (;;) {
        float rra;
        if (l > 1) {
            // Build phase: the element at l joins the heap below it.
            rra = ra[--l];
        } else {
            // Sort phase: the heap's maximum moves behind the shrinking heap.
            rra = ra[ir];
            ra[ir] = ra[1];
            if (--ir == 1) {
                ra[1] = rra;
                return;
            }
        }
        // Sift rra down from l; j = 2i is computed only while i <= ir / 2, so
        // it cannot wrap even for n near the top of the unsigned range.
        unsigned int i = l;
        while (i <= ir / 2) {
            unsigned int j = 2 * i;
            if (j < ir && ra[j] < ra[j + 1]) ++j;
            if (!(rra < ra[j])) break;
            ra[i] = ra[j];
            i = j;
        }
        ra[i] = rra;
    }
}
