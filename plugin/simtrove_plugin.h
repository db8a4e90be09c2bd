// The Simtrove plug-in object.
//
// initPlugin(): binds the host function table; refuses (false, no message) when
// the host or its version function cannot be found; refuses hosts older than
// 2.0.0 with a message; refuses, naming them in a message, when any function the
// plug-in calls is missing. execute(): the simulation workflow.
// The object holds no state: the host table and the generators are module-wide.
#pragma once

#include "plugin/export.h"
#include "plugin/tavimo_plugin_interface.h"

class SIMTROVE_EXPORT SimtrovePlugin : public TavimoPluginInterface {
public:
    SimtrovePlugin();
    ~SimtrovePlugin() override;
    bool execute() override;
    bool initPlugin() override;
};

namespace simtrove::plugin {
inline constexpr const char* kOldHostMessage =
    "Can not execute this plugin - Tavimo version 2.0.0 or higher required.";
}
