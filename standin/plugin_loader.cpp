#include "standin/plugin_loader.h"

#include <exception>

#include "plugin/tavimo_plugin_interface.h"
#include "standin/platform.h"
#include "standin/plugin_calls.h"

namespace simtrove::standin {

using formats::Result;

// Unloading the library before the process ends would only hide where its
// allocations came from, so it is never closed.
Result<PluginLibrary> loadPluginLibrary(const std::string& path) {
    std::string error;
    void* library = loadLibrary(path, error);
    if (library == nullptr)
        return Result<PluginLibrary>::failure("cannot load the plug-in: " + error);
    void* factory = findLibraryFunction(library, "createPlugin");
    if (factory == nullptr)
        return Result<PluginLibrary>::failure(path + ": not a plug-in (no createPlugin)");
    return PluginLibrary{path, factory};
}

Result<PluginOutcome> runPlugin(const PluginLibrary& library) {
    using Factory = TavimoPluginInterface*(SIMTROVE_CDECL*)();
    auto createPlugin = reinterpret_cast<Factory>(library.createPlugin);
    TavimoPluginInterface* plugin = nullptr;
    try {
        plugin = createPlugin();
    } catch (const std::exception& e) {
        return Result<PluginOutcome>::failure(std::string("createPlugin failed: ") + e.what());
    }
    if (plugin == nullptr) return Result<PluginOutcome>::failure("createPlugin returned no object");
    PluginOutcome outcome;
    outcome.initialised = simtrove_call_initPlugin(plugin);
    outcome.completed = outcome.initialised && simtrove_call_execute(plugin);
    simtrove_delete_plugin(plugin);
    return outcome;
}

}  // namespace simtrove::standin
