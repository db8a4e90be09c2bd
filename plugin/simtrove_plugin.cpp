#include "plugin/simtrove_plugin.h"

#include "plugin/plugin_operations.h"

SimtrovePlugin::SimtrovePlugin() = default;
SimtrovePlugin::~SimtrovePlugin() = default;

bool SimtrovePlugin::initPlugin() {
    return simtrove_initialise_plugin();
}

bool SimtrovePlugin::execute() {
    return simtrove_execute_plugin();
}
