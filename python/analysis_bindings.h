// simtrove._core.analyse: the report's model, statistics, thresholds and
// evaluation against the truth on samples held by Python, without writing a
// file. Returns plain Python objects (dicts, lists and numpy arrays) that the
// package's Analysis class (simtrove/analysis.py) presents.
#pragma once

#include <pybind11/pybind11.h>

namespace simtrove::python {

void bindAnalysis(pybind11::module_& m);

}  // namespace simtrove::python
