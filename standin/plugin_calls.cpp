#include "standin/plugin_calls.h"

bool SIMTROVE_CDECL simtrove_call_initPlugin(TavimoPluginInterface* plugin) {
    return plugin->initPlugin();
}

bool SIMTROVE_CDECL simtrove_call_execute(TavimoPluginInterface* plugin) {
    return plugin->execute();
}

void SIMTROVE_CDECL simtrove_delete_plugin(TavimoPluginInterface* plugin) {
    delete plugin;
}
