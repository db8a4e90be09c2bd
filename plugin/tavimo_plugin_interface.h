// The plug-in interface the host programs against.
//
// An object is only its virtual table pointer. Virtual slots, in order: the
// destructor, execute(), initPlugin(). The host creates objects with
// createPlugin(), calls initPlugin() once, execute() any number of times, and
// ends an object's life by deleting it through this interface. execute() may be
// called only after initPlugin() returned true (until then it returns false).
// On Windows the class is compiled in the host's C++ ABI (plugin/windows/).
#pragma once

#include "plugin/export.h"

class SIMTROVE_EXPORT TavimoPluginInterface {
  public:
    TavimoPluginInterface();
    TavimoPluginInterface(const TavimoPluginInterface& other);
    virtual ~TavimoPluginInterface();
    // Copies nothing: there is no state.
    TavimoPluginInterface& operator=(const TavimoPluginInterface& other);

    // Runs the plug-in's job; true when it reached its end.
    virtual bool execute() = 0;
    // Binds the host and checks its version; false keeps the plug-in from running.
    virtual bool initPlugin() = 0;
};

extern "C" {
// A new SimtrovePlugin, returned as its interface (global new; may throw std::bad_alloc).
SIMTROVE_EXPORT TavimoPluginInterface* SIMTROVE_CDECL createPlugin();
// Static, NUL-terminated texts owned by the library; never null.
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getPluginName();
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getPluginDescription();
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getAuthor();
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getHelpFile();
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getPluginVersion();
SIMTROVE_EXPORT const char* SIMTROVE_CDECL getGUIScript();
}
