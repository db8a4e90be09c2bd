// Loads a plug-in library and runs one plug-in object through its interface:
// createPlugin, initPlugin, execute when initPlugin succeeded, then delete.
// Loading and running are two steps, so that nothing is written for a
// plug-in that cannot be loaded. The library stays loaded until the process
// ends.
#pragma once

#include <string>

#include "formats/result.h"

namespace simtrove::standin {

struct PluginOutcome {
    bool initialised = false;  // initPlugin returned true
    bool completed = false;    // execute returned true
};

// A loaded plug-in library with its factory.
struct PluginLibrary {
    std::string path;
    void* createPlugin = nullptr;  // the exported factory
};

// Fails, with the reason, when the library cannot be loaded or has no createPlugin.
formats::Result<PluginLibrary> loadPluginLibrary(const std::string& path);

// Fails, with the reason, only when the plug-in object could not be created.
formats::Result<PluginOutcome> runPlugin(const PluginLibrary& library);

}  // namespace simtrove::standin
