#include "plugin/simtrove_plugin.h"
#include "plugin/tavimo_plugin_interface.h"

#if defined(_MSC_VER)
#include "plugin/plugin_operations.h"
#include "plugin/windows/msvc_abi_runtime.h"
#endif

TavimoPluginInterface* SIMTROVE_CDECL createPlugin() {
#if defined(_MSC_VER)
    // Compiled in the host's C++ ABI (plugin/windows/): no exception of this
    // library's runtime can reach the host, so a failed allocation answers null.
    void* memory = simtrove_allocate_object(sizeof(SimtrovePlugin));
    return memory == nullptr ? nullptr : ::new (memory) SimtrovePlugin;
#else
    return new SimtrovePlugin;
#endif
}

const char* SIMTROVE_CDECL getPluginName() {
    return "Simtrove";
}

const char* SIMTROVE_CDECL getPluginDescription() {
    return "This tool allows to create simulated volume time course (VTC) data. Based on the "
           "position of the VMR cross or a set of defined Volumes-Of-Interest (VOIs), time "
           "courses are created with a time waveform based on selected conditions of a loaded "
           "protocol. The created voxel time courses are convolved with a hemodynamic response "
           "function. Finally Gaussian noise is added to all voxel time courses. The tool is "
           "implemented as a plugin and is provided with the source code to show how a "
           "fully-fledged plugin can be created. The simulated data should be used only to test "
           "data analysis methods for research and education.<br>";
}

const char* SIMTROVE_CDECL getAuthor() {
    return "<i>Ansel Merrow</i>, Oskaris B.V.";
}

const char* SIMTROVE_CDECL getHelpFile() {
    return "";
}

const char* SIMTROVE_CDECL getPluginVersion() {
    return "2.0";
}

const char* SIMTROVE_CDECL getGUIScript() {
    return "";
}
