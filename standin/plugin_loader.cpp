#include "standin/plugin_loader.h"

#include <dlfcn.h>

#include <exception>

#include "plugin/tavimo_plugin_interface.h"

namespace simtrove::standin {

// Unloading the library before the process ends would only hide where its
// allocations came from, so it is never closed.
Result<PluginOutcome> runPluginLibrary(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return Result<PluginOutcome>::failure("cannot load the plug-in: " + std::string(dlerror()));
    using Factory = TavimoPluginInterface* (*)();
    auto createPlugin = reinterpret_cast<Factory>(dlsym(library, "createPlugin"));
    if (createPlugin == nullptr)
        return Result<PluginOutcome>::failure(path + ": not a plug-in (no createPlugin)");
    TavimoPluginInterface* plugin = nullptr;
    try {
        plugin = createPlugin();
    } catch (const std::exception& e) {
        return Result<PluginOutcome>::failure(std::string("createPlugin failed: ") + e.what());
    }
    if (plugin == nullptr) return Result<PluginOutcome>::failure("createPlugin returned no object");
    PluginOutcome outcome;
    outcome.initialised = plugin->initPlugin();
    outcome.completed = outcome.initialised && plugin->execute();
    delete plugin;
    return outcome;
}

}  // namespace simtrove::standin
