// simtrove._core.simulate and simtrove._core.Run: the scenario engine's run
// in memory for the package's Simulation class (simtrove/simulation.py). The
// run's arrays are handed to numpy as views that keep the Run alive; a bad
// scenario raises ValueError with the program's one line.
#pragma once

#include <pybind11/pybind11.h>

namespace simtrove::python {

void bindSimulation(pybind11::module_& m);

}  // namespace simtrove::python
