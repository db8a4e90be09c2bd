#include "plugin/plugin_operations.h"

#include <cstddef>
#include <cstdio>
#include <new>

#include "host/host_functions.h"
#include "plugin/workflow.h"

using namespace simtrove::host;

namespace {

constexpr const char* kOldHostMessage =
    "Can not execute this plugin - Tavimo version 2.0.0 or higher required.";
constexpr std::size_t kMessageCapacity = 2048;

// Tells the user which host functions are missing; shown only when the message
// box itself is there. Names that do not fit are cut off at the capacity.
void reportMissingFunctions(const char* const missing[], std::size_t count) {
    if (tvMessageBox == nullptr) return;
    char text[kMessageCapacity];
    int used = std::snprintf(text, sizeof text,
                             "Can not execute this plugin - this version of Tavimo does not "
                             "provide the functions it needs: ");
    for (std::size_t i = 0; i < count && used >= 0 && std::size_t(used) < sizeof text; ++i)
        used += std::snprintf(text + used, sizeof text - std::size_t(used), "%s%s",
                              i == 0 ? "" : ", ", missing[i]);
    tvMessageBox(text);
}

bool initialise() {
    if (!bindHostFunctions()) return false;
    int Major = 0, Minor = 0, SubMinor = 0;
    tvGetVersionOfTavimo(&Major, &Minor, &SubMinor);
    if (!isVersionAtLeast(Major, Minor, SubMinor, 2, 0, 0)) {
        if (tvMessageBox != nullptr) tvMessageBox(kOldHostMessage);
        return false;
    }
    const char* missing[SIMTROVE_CALLED_HOST_FUNCTION_COUNT];
    const std::size_t count =
        findMissingCalledFunctions(missing, SIMTROVE_CALLED_HOST_FUNCTION_COUNT);
    if (count > 0) {
        reportMissingFunctions(missing, count);
        return false;
    }
    return true;
}

}  // namespace

bool SIMTROVE_CDECL simtrove_initialise_plugin() noexcept {
    try {
        return initialise();
    } catch (...) {
        return false;
    }
}

bool SIMTROVE_CDECL simtrove_execute_plugin() noexcept {
    if (findMissingCalledFunctions(nullptr, 0) > 0) return false;
    try {
        return simtrove::plugin::runSimulationWorkflow();
    } catch (...) {
        return false;
    }
}

void* SIMTROVE_CDECL simtrove_allocate_object(decltype(sizeof 0) size) noexcept {
    return ::operator new(size, std::nothrow);
}

void SIMTROVE_CDECL simtrove_release_object(void* object) noexcept {
    ::operator delete(object);
}
