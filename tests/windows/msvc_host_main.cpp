// msvc_abi_host_test <simtrove.dll>: loads the plug-in as the host does and runs
// the checks of msvc_host_calls.cpp, whose calls are made in the host's C++ ABI.
// Exit status 0 when every check passed.
#include <windows.h>

#include <cstdio>

namespace {
HMODULE plugin = nullptr;
int failures = 0;
}  // namespace

extern "C" void run_host_abi_checks();

extern "C" void* host_test_symbol(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(plugin, name));
}

extern "C" void host_test_check(bool passed, const char* what) {
    std::printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    if (!passed) ++failures;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: msvc_abi_host_test <simtrove.dll>\n");
        return 2;
    }
    plugin = LoadLibraryA(argv[1]);
    if (plugin == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 2;
    }
    run_host_abi_checks();
    std::printf("%d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
