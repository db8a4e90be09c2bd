// Least-squares fitting: linear models through the singular value
// decomposition and nonlinear models by damped (Levenberg-Marquardt) steps.
#pragma once

#include "numerics/fit/marquardt.h"
#include "numerics/fit/svd_fit.h"
