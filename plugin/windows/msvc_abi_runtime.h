// The little of a C++ runtime that the plug-in's classes need when they are
// compiled in the host's C++ ABI, which has no standard library here.
//
// The Windows DLL is built by MinGW, whose C++ ABI is not the host's: the host
// (built with Microsoft's compiler) calls the plug-in object through a virtual
// table of its own ABI's layout (slot 1 the deleting destructor with a flags
// argument, slot 2 execute, slot 3 initPlugin; `this` in ECX, the callee pops)
// and imports the class members under their Microsoft-decorated names. So the
// boundary translation units (plugin/exports.cpp,
// plugin/tavimo_plugin_interface.cpp, plugin/simtrove_plugin.cpp and
// msvc_abi_runtime.cpp) are compiled by clang in that ABI and linked into the
// MinGW-built DLL (cmake/MsvcAbiObjects.cmake); their members forward to the C
// functions of plugin/plugin_operations.h, which carry the plug-in's logic.
#pragma once

// Placement new, as the host's own headers declare it.
inline void* operator new(decltype(sizeof 0), void* place) noexcept {
    return place;
}
