#include "host/host_functions.h"

namespace simtrove::host {

#define SIMTROVE_DEFINE_CALLED(name, result, params) result(TV_CDECL* name) params = nullptr;
#define SIMTROVE_DEFINE_OTHER(name) UntypedHostFunction name = nullptr;
SIMTROVE_HOST_FUNCTIONS(SIMTROVE_DEFINE_CALLED, SIMTROVE_DEFINE_OTHER)
#undef SIMTROVE_DEFINE_CALLED
#undef SIMTROVE_DEFINE_OTHER

namespace {

// How one table entry is named, filled and checked; entries differ in type, so
// each is reached through its own small setter and getter.
struct TableEntry {
    const char* name;
    bool calledByPlugin;
    void (*store)(RawHostFunction function);
    bool (*isBound)();
};

#define SIMTROVE_ENTRY(name, called)                                                         \
    TableEntry{                                                                              \
        #name, called,                                                                       \
        [](RawHostFunction function) { name = reinterpret_cast<decltype(name)>(function); }, \
        [] { return name != nullptr; }},
#define SIMTROVE_ENTRY_CALLED(name, result, params) SIMTROVE_ENTRY(name, true)
#define SIMTROVE_ENTRY_OTHER(name) SIMTROVE_ENTRY(name, false)
const TableEntry kTable[] = {SIMTROVE_HOST_FUNCTIONS(SIMTROVE_ENTRY_CALLED, SIMTROVE_ENTRY_OTHER)};
#undef SIMTROVE_ENTRY_CALLED
#undef SIMTROVE_ENTRY_OTHER
#undef SIMTROVE_ENTRY

static_assert(sizeof(kTable) / sizeof(kTable[0]) == SIMTROVE_HOST_FUNCTION_COUNT);

}  // namespace

bool bindHostFunctions() {
    const HostLookup& lookup = currentHostLookup();
    void* module = lookup.findModule();
    if (module == nullptr) return false;
    // The version function comes first in the list; without it nothing else is bound.
    RawHostFunction version = lookup.findFunction(module, kTable[0].name);
    if (version == nullptr) return false;
    kTable[0].store(version);
    for (std::size_t i = 1; i < SIMTROVE_HOST_FUNCTION_COUNT; ++i)
        kTable[i].store(lookup.findFunction(module, kTable[i].name));
    return true;
}

bool isVersionAtLeast(int major, int minor, int subMinor, int requiredMajor, int requiredMinor,
                      int requiredSubMinor) {
    if (major != requiredMajor) return major > requiredMajor;
    if (minor != requiredMinor) return minor > requiredMinor;
    return subMinor >= requiredSubMinor;
}

std::size_t findMissingCalledFunctions(const char* missing[], std::size_t capacity) {
    std::size_t count = 0;
    for (const TableEntry& entry : kTable) {
        if (!entry.calledByPlugin || entry.isBound()) continue;
        if (count < capacity) missing[count] = entry.name;
        ++count;
    }
    return count;
}

void clearHostFunctions() {
    for (const TableEntry& entry : kTable) entry.store(nullptr);
}

}  // namespace simtrove::host
