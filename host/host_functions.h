// The module-wide table of host functions and its binding.
//
// One pointer per host function, named as the host exports it, null until
// bindHostFunctions() runs. Only the 28 functions the plug-in calls carry their
// C signatures; the others are untyped and never called.
// bindHostFunctions(): finds the host module and binds tvGetVersionOfTavimo
// (false, table untouched beyond it, when either is missing), then looks up the
// other 149 names in list order; a missing name leaves its entry null. True then.
// isVersionAtLeast(): signed lexicographic (major, minor, sub) >= required.
#pragma once

#include <cstddef>

#include "host/calling_convention.h"
#include "host/host_function_list.h"
#include "host/host_lookup.h"
#include "host/records.h"

namespace simtrove::host {

using UntypedHostFunction = void(TV_CDECL*)();

#define SIMTROVE_DECLARE_CALLED(name, result, params) extern result(TV_CDECL* name) params;
#define SIMTROVE_DECLARE_OTHER(name) extern UntypedHostFunction name;
SIMTROVE_HOST_FUNCTIONS(SIMTROVE_DECLARE_CALLED, SIMTROVE_DECLARE_OTHER)
#undef SIMTROVE_DECLARE_CALLED
#undef SIMTROVE_DECLARE_OTHER

bool bindHostFunctions();

bool isVersionAtLeast(int major, int minor, int subMinor, int requiredMajor, int requiredMinor,
                      int requiredSubMinor);

// Names of the called functions whose entry is null; writes at most
// `capacity` names into `missing` and returns how many are missing in all.
std::size_t findMissingCalledFunctions(const char* missing[], std::size_t capacity);

// Empties every entry (used before a new binding attempt in tests).
void clearHostFunctions();

}  // namespace simtrove::host
