#include "standin/platform.h"

#include <filesystem>

#if defined(_WIN32)
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace simtrove::standin {

#if defined(_WIN32)

const char* const kPluginFileName = "simtrove.dll";

void* loadLibrary(const std::string& path, std::string& error) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr)
        error = path + ": cannot load (Windows error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(library);
}

void* findLibraryFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

bool stdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}
bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::string programPath(const char* argv0) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return argv0 != nullptr ? argv0 : "";
    return std::string(path, length);
}

#else

const char* const kPluginFileName = "libsimtrove.so";

void* loadLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = dlerror();
    return library;
}

void* findLibraryFunction(void* library, const char* name) {
    return dlsym(library, name);
}

bool stdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}
bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::string programPath(const char* argv0) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self.string();
    return argv0 != nullptr ? argv0 : "";
}

#endif

}  // namespace simtrove::standin
