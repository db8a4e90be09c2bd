// The Simtrove plug-in object.
//
// initPlugin(): binds the host function table; refuses (false, no message) when
// the host or its version function cannot be found; refuses hosts older than
// 2.0.0 with a message; refuses, naming them in a message, when any function the
// plug-in calls is missing. execute(): the simulation workflow; false without
// calling the host when initPlugin() has not succeeded.
// The object holds no state: the host table and the generators are module-wide.
// The members only forward to plugin/plugin_operations.h, so that this class
// compiles in the host's C++ ABI as well (see plugin/windows/).
#pragma once

#include "plugin/export.h"
#include "plugin/tavimo_plugin_interface.h"

class SIMTROVE_CLASS_EXPORT SimtrovePlugin : public TavimoPluginInterface {
  public:
    SIMTROVE_MEMBER_EXPORT SimtrovePlugin();
    SIMTROVE_MEMBER_EXPORT ~SimtrovePlugin() override;
    SIMTROVE_MEMBER_EXPORT bool execute() override;
    SIMTROVE_MEMBER_EXPORT bool initPlugin() override;
};
