// What the stand-in needs from the operating system, behind one seam: loading
// the plug-in library and finding its factory, telling whether a stream is a
// terminal, and where the running program lives.
#pragma once

#include <string>

namespace simtrove::standin {

// File name of the plug-in library on this platform.
extern const char* const kPluginFileName;

// Loads a library for good (it is never unloaded); null with `error` set on failure.
void* loadLibrary(const std::string& path, std::string& error);
// The library's exported function of that name, or null.
void* findLibraryFunction(void* library, const char* name);

bool stdinIsTerminal();
bool stderrIsTerminal();

// Path of the running program; argv0 when the system cannot tell.
std::string programPath(const char* argv0);

}  // namespace simtrove::standin
