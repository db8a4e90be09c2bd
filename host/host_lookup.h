// The platform seam that yields the host's exported functions by name.
//
// The binding logic only sees a HostLookup: find the already-loaded host
// module, then find a function in it by name. The platform's own lookup is
// GetModuleHandleA("Tavimo.exe") + GetProcAddress on Windows and the main
// program's exported symbols (dlopen(nullptr) + dlsym) elsewhere. Tests put a
// fake host behind the same seam with useHostLookup().
#pragma once

namespace simtrove::host {

using RawHostFunction = void (*)();

struct HostLookup {
    // Opaque handle of the loaded host module, or null when there is none.
    // No reference is taken, so nothing is released later.
    void* (*findModule)();
    // The module's exported function of that name, or null.
    RawHostFunction (*findFunction)(void* module, const char* name);
};

const HostLookup& platformHostLookup();

// The lookup bindHostFunctions() uses: the platform's unless replaced.
const HostLookup& currentHostLookup();

// Replaces the lookup (the object must outlive its use); null restores the platform's.
void useHostLookup(const HostLookup* lookup);

}  // namespace simtrove::host
