// The host's calls on a plug-in object, made as the host makes them: through
// the object's virtual table. On Windows plugin_calls.cpp is compiled in the
// host's C++ ABI (like the plug-in's classes, see plugin/windows/), so the
// Windows stand-in exercises the virtual table layout, calling convention and
// deleting destructor that the real host uses.
#pragma once

#include "plugin/export.h"
#include "plugin/tavimo_plugin_interface.h"

extern "C" {
bool SIMTROVE_CDECL simtrove_call_initPlugin(TavimoPluginInterface* plugin);
bool SIMTROVE_CDECL simtrove_call_execute(TavimoPluginInterface* plugin);
// Deletes through the interface: the virtual destructor, which frees the object.
void SIMTROVE_CDECL simtrove_delete_plugin(TavimoPluginInterface* plugin);
}
