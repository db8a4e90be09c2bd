// The global operator delete of the host's ABI, which the deleting destructors
// call when the host deletes a plug-in object (flags bit 0 set). It hands the
// memory back to the runtime that createPlugin() took it from.
#include "plugin/windows/msvc_abi_runtime.h"

#include "plugin/plugin_operations.h"

void operator delete(void* object) noexcept {
    simtrove_release_object(object);
}
void operator delete(void* object, decltype(sizeof 0)) noexcept {
    simtrove_release_object(object);
}
