// Loads a plug-in library and runs one plug-in object through its interface:
// createPlugin, initPlugin, execute when initPlugin succeeded, then delete.
// The library stays loaded until the process ends.
#pragma once

#include <string>

#include "formats/result.h"

namespace simtrove::standin {

struct PluginOutcome {
    bool initialised = false;  // initPlugin returned true
    bool completed = false;    // execute returned true
};

// Fails, with the reason, only when the plug-in could not be loaded or created.
formats::Result<PluginOutcome> runPluginLibrary(const std::string& path);

}  // namespace simtrove::standin
