// Dense linear algebra on float matrices: Gauss-Jordan elimination, the
// singular value decomposition, the symmetric eigenproblem and 0-based matrix
// helpers with a pseudo-inverse.
#pragma once

#include "numerics/linalg/eigen.h"
#include "numerics/linalg/gaussj.h"
#include "numerics/linalg/matrix_ops.h"
#include "numerics/linalg/svd.h"
