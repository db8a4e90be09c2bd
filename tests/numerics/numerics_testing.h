// Helpers shared by the numerical library's tests.
#pragma once

#include <cmath>
#include <string>

namespace simtrove::testing {

// The exact standard-error text of the fatal exit with `message`, as a regular
// expression anchored at both ends.
inline std::string fatalText(const std::string& message) {
    std::string escaped;
    for (char c : message) {
        if (std::string(".()[]{}*+?^$|\\").find(c) != std::string::npos) escaped += '\\';
        escaped += c;
    }
    return "^Calvento run-time error\\.\\.\\.\n" + escaped +
           "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";
}

// Q(n, x) for integer n in closed form: e^-x * sum_{k<n} x^k / k!.
inline double closedFormQ(int n, double x) {
    double term = 1.0, sum = 1.0;
    for (int k = 1; k < n; ++k) {
        term *= x / k;
        sum += term;
    }
    return std::exp(-x) * sum;
}

}  // namespace simtrove::testing
