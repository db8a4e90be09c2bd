// The 150 host functions, exported by name with C linkage from the program.
//
// The plug-in finds them among the main program's dynamic symbols. The 28 it
// calls forward to the installed HostSession; the other 122 are inert and
// return 0 (after a warning, as the stand-in does not provide them). Every
// function catches all exceptions: none crosses into the plug-in. Without an
// installed session every function returns 0 or null.
#pragma once

#include <cstdint>

#include "host/host_function_list.h"
#include "host/records.h"

#define SIMTROVE_HOST_EXPORT __attribute__((visibility("default")))

#define SIMTROVE_DECLARE_CALLED_EXPORT(name, result, params) \
    extern "C" SIMTROVE_HOST_EXPORT result name params;
#define SIMTROVE_DECLARE_OTHER_EXPORT(name) extern "C" SIMTROVE_HOST_EXPORT std::intptr_t name();
SIMTROVE_HOST_FUNCTIONS(SIMTROVE_DECLARE_CALLED_EXPORT, SIMTROVE_DECLARE_OTHER_EXPORT)
#undef SIMTROVE_DECLARE_CALLED_EXPORT
#undef SIMTROVE_DECLARE_OTHER_EXPORT

namespace simtrove::standin {

class HostSession;

// Makes `session` answer the exported functions until the guard ends.
class InstalledHostSession {
  public:
    explicit InstalledHostSession(HostSession& session);
    ~InstalledHostSession();
    InstalledHostSession(const InstalledHostSession&) = delete;
    InstalledHostSession& operator=(const InstalledHostSession&) = delete;

  private:
    HostSession* previous_;
};

}  // namespace simtrove::standin
