// What the plug-in object does, as plain C functions. The members of
// SimtrovePlugin forward here, so one implementation serves the classes in
// whichever C++ ABI they are compiled (on Windows the host's; see
// plugin/windows/). Nothing here throws: an exception of this library's runtime
// cannot travel through a host built by another compiler.
// The header includes nothing, so that it compiles without a standard library.
#pragma once

#include "plugin/export.h"

extern "C" {
// initPlugin(): binds the host table and checks the host's version and its
// functions; false keeps the plug-in from running.
bool SIMTROVE_CDECL simtrove_initialise_plugin() noexcept;
// execute(): the simulation workflow; false on any refusal, cancellation or
// error; false at once, without calling the host, while any host function it
// calls is unbound (initPlugin() has not succeeded).
bool SIMTROVE_CDECL simtrove_execute_plugin() noexcept;
// The global operator new and delete of this library's C++ runtime, for plug-in
// objects whose classes are compiled in another ABI. Null when memory is short.
void* SIMTROVE_CDECL simtrove_allocate_object(decltype(sizeof 0) size) noexcept;
void SIMTROVE_CDECL simtrove_release_object(void* object) noexcept;
}
