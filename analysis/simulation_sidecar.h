// The simulation's parameters from the data's JSON sidecar, read tolerantly
// for the report page: NAME.json beside NAME.vtc / NAME.nii(.gz), else
// NAME_truth.json. Whatever the sidecar holds under "Simulation" becomes
// (name, value) rows, nested objects as "Outer / inner" names and arrays as
// compact JSON; "Realised" (one entry per noise or signal component, an object
// keyed by component or an array of objects with a "Name") gives each
// component's requested and realised standard deviation where present.
// A missing or unreadable sidecar gives an empty record with a note.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace simtrove::analysis {

struct SimulationParameter {
    std::string name, value;
};

struct SimulationComponent {
    std::string name;
    std::optional<double> requestedSd, realisedSd;
};

struct SimulationParameters {
    std::string file;  // the sidecar's file name, empty when none was read
    std::string note;  // why nothing was read
    std::vector<SimulationParameter> parameters;
    std::vector<SimulationComponent> components;
};

SimulationParameters readSimulationSidecar(const std::string& dataPath);
// The same from the sidecar's text (`file` names it).
SimulationParameters parseSimulationSidecar(const std::string& text, const std::string& file);

}  // namespace simtrove::analysis
