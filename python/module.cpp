// The extension module simtrove._core: the engine and the report's analysis
// for the pure-Python package simtrove.
#include <pybind11/pybind11.h>

#include "python/analysis_bindings.h"
#include "python/simulation_bindings.h"

PYBIND11_MODULE(_core, m) {
    m.doc() = "Simtrove's C++ engine and analysis (use the package simtrove)";
    simtrove::python::bindSimulation(m);
    simtrove::python::bindAnalysis(m);
}
