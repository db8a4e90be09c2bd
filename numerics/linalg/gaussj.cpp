#include "numerics/linalg/gaussj.h"

#include <cmath>
#include <utility>

#include "numerics/arrays/arrays.h"

namespace {

void swapRows(float** x, int r1, int r2, int cols) {
    for (int l = 1; l <= cols; ++l) std::swap(x[r1][l], x[r2][l]);
}

// Subtracts f times the pivot row from row ll, over columns 1..cols.
void eliminate(float** x, int ll, int pivot_row, float f, int cols) {
    for (int l = 1; l <= cols; ++l)
        x[ll][l] = float(double(x[ll][l]) - double(x[pivot_row][l]) * f);
}

}  // namespace

void gaussj(float** a, int n, float** b, int m) {
    int* ipiv = ivector(1, n);
    int* indxr = ivector(1, n);
    int* indxc = ivector(1, n);
    for (int j = 1; j <= n; ++j) ipiv[j] = 0;

    for (int i = 1; i <= n; ++i) {
        float big = 0.0f;
        // 0 means "no candidate met": only NaN elements fail the >= test, and
        // without this check the pass would pivot on a position never found.
        int irow = 0;
        int icol = 0;
        for (int j = 1; j <= n; ++j) {
            if (ipiv[j] == 1) continue;
            for (int k = 1; k <= n; ++k) {
                if (ipiv[k] == 0) {
                    if (std::fabs(a[j][k]) >= big) {
                        big = std::fabs(a[j][k]);
                        irow = j;
                        icol = k;
                    }
                } else if (ipiv[k] > 1) {
                    numeric_fatal_error("gaussj: Singular Matrix-1");
                }
            }
        }
        if (icol == 0) numeric_fatal_error("gaussj: no pivot found, matrix holds NaN");
        ++ipiv[icol];

        if (irow != icol) {
            swapRows(a, irow, icol, n);
            swapRows(b, irow, icol, m);
        }
        indxr[i] = irow;
        indxc[i] = icol;
        if (a[icol][icol] == 0.0f) numeric_fatal_error("gaussj: Singular Matrix-2");

        const float pivinv = float(1.0 / a[icol][icol]);
        a[icol][icol] = 1.0f;
        for (int l = 1; l <= n; ++l) a[icol][l] = float(double(a[icol][l]) * pivinv);
        for (int l = 1; l <= m; ++l) b[icol][l] = float(double(b[icol][l]) * pivinv);

        for (int ll = 1; ll <= n; ++ll) {
            if (ll == icol) continue;
            const float f = a[ll][icol];
            a[ll][icol] = 0.0f;
            eliminate(a, ll, icol, f, n);
            eliminate(b, ll, icol, f, m);
        }
    }

    // Row exchanges of the pivoting show up as column exchanges of the inverse.
    for (int l = n; l >= 1; --l) {
        if (indxr[l] == indxc[l]) continue;
        for (int k = 1; k <= n; ++k) std::swap(a[k][indxr[l]], a[k][indxc[l]]);
    }

    release_ivector(ipiv, 1, n);
    release_ivector(indxr, 1, n);
    release_ivector(indxc, 1, n);
}
