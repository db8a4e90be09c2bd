#include "host/host_lookup.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace simtrove::host {
namespace {

#if defined(_WIN32)
void* findHostModule() {
    return reinterpret_cast<void*>(GetModuleHandleA("Tavimo.exe"));
}

RawHostFunction findHostFunction(void* module, const char* name) {
    return reinterpret_cast<RawHostFunction>(
        GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}
#else
// The host is the main program, which exports its functions dynamically.
// dlopen(nullptr) hands out the program's own handle; it is never closed.
void* findHostModule() {
    return dlopen(nullptr, RTLD_LAZY);
}

RawHostFunction findHostFunction(void* module, const char* name) {
    return reinterpret_cast<RawHostFunction>(dlsym(module, name));
}
#endif

constexpr HostLookup kPlatformLookup{findHostModule, findHostFunction};
const HostLookup* activeLookup = &kPlatformLookup;

}  // namespace

const HostLookup& platformHostLookup() {
    return kPlatformLookup;
}

const HostLookup& currentHostLookup() {
    return *activeLookup;
}

void useHostLookup(const HostLookup* lookup) {
    activeLookup = lookup != nullptr ? lookup : &kPlatformLookup;
}

}  // namespace simtrove::host
