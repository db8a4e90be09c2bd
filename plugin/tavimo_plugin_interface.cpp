#include "plugin/tavimo_plugin_interface.h"

// Out of line so that the library emits and exports these members and the vtable.
TavimoPluginInterface::TavimoPluginInterface() = default;
TavimoPluginInterface::TavimoPluginInterface(const TavimoPluginInterface&) = default;
TavimoPluginInterface::~TavimoPluginInterface() = default;
TavimoPluginInterface& TavimoPluginInterface::operator=(const TavimoPluginInterface&) {
    return *this;
}
