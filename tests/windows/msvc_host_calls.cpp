// A host's view of the plug-in DLL, compiled by clang in the Microsoft C++ ABI
// (cmake/MsvcAbiObjects.cmake): the interface as the host declares it, virtual
// calls and deletes made by that compiler, and the exported members reached
// under their decorated names (which check_dll_exports.sh takes from the same
// compiler) with that ABI's member calling convention.
extern "C" void* host_test_symbol(const char* name);  // the plug-in's export, or null
extern "C" void host_test_check(bool passed, const char* what);

class TavimoPluginInterface {
  public:
    virtual ~TavimoPluginInterface();
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

#if defined(_M_IX86)
#define MEMBER_CALL __thiscall  // `this` in ECX, the callee pops
#define DECORATED(x86, x64) x86
#else
#define MEMBER_CALL
#define DECORATED(x86, x64) x64
#endif

namespace {

using Factory = TavimoPluginInterface* (*)();
using Constructor = void*(MEMBER_CALL*)(void* self);
using Binary = void*(MEMBER_CALL*)(void* self, const void* other);  // copy constructor, assignment
using Destructor = void(MEMBER_CALL*)(void* self);
using Operation = bool(MEMBER_CALL*)(void* self);

template <typename Function>
Function exported(const char* name) {
    void* address = host_test_symbol(name);
    host_test_check(address != nullptr, name);
    return reinterpret_cast<Function>(address);
}

void* const* virtualTable(const void* object) {
    return *static_cast<void* const* const*>(object);
}

// Storage for an object built by an exported constructor: one pointer, with room to spare.
struct Storage {
    alignas(8) unsigned char bytes[16] = {};
};

void checkCreatedObjects(void* const*& pluginTable) {
    auto createPlugin = exported<Factory>("createPlugin");
    TavimoPluginInterface* first = createPlugin();
    TavimoPluginInterface* second = createPlugin();
    host_test_check(first != nullptr && second != nullptr && first != second,
                    "createPlugin gives two distinct objects");
    pluginTable = virtualTable(first);
    host_test_check(virtualTable(second) == pluginTable, "both objects share one virtual table");
    host_test_check(
        pluginTable[1] == host_test_symbol(DECORATED("?execute@SimtrovePlugin@@UAE_NXZ",
                                                     "?execute@SimtrovePlugin@@UEAA_NXZ")),
        "slot 2 is SimtrovePlugin::execute");
    host_test_check(
        pluginTable[2] == host_test_symbol(DECORATED("?initPlugin@SimtrovePlugin@@UAE_NXZ",
                                                     "?initPlugin@SimtrovePlugin@@UEAA_NXZ")),
        "slot 3 is SimtrovePlugin::initPlugin");
    // This process is not the host: initPlugin finds no host and refuses, and
    // execute refuses at once on the unbound table; both answer false in AL.
    host_test_check(!first->initPlugin(), "initPlugin through slot 3 refuses outside the host");
    host_test_check(!second->execute(), "execute through slot 2 refuses before initPlugin");
    delete first;  // slot 1, flags 1: destroys and frees
    host_test_check(!second->initPlugin() && !second->execute(),
                    "the second object works after the first was deleted");
    delete second;
}

void checkExportedMembers(void* const* pluginTable) {
    void* interfaceTable = host_test_symbol(
        DECORATED("??_7TavimoPluginInterface@@6B@", "??_7TavimoPluginInterface@@6B@"));
    host_test_check(interfaceTable != nullptr, "the interface's virtual table is exported");

    Storage plugin, base, copy;
    auto constructPlugin =
        exported<Constructor>(DECORATED("??0SimtrovePlugin@@QAE@XZ", "??0SimtrovePlugin@@QEAA@XZ"));
    host_test_check(
        constructPlugin(plugin.bytes) == plugin.bytes && virtualTable(plugin.bytes) == pluginTable,
        "SimtrovePlugin() returns the object and sets the plug-in's virtual table");
    auto construct = exported<Constructor>(
        DECORATED("??0TavimoPluginInterface@@QAE@XZ", "??0TavimoPluginInterface@@QEAA@XZ"));
    host_test_check(
        construct(base.bytes) == base.bytes && virtualTable(base.bytes) == interfaceTable,
        "TavimoPluginInterface() sets the exported virtual table");
    auto copyConstruct = exported<Binary>(DECORATED("??0TavimoPluginInterface@@QAE@ABV0@@Z",
                                                    "??0TavimoPluginInterface@@QEAA@AEBV0@@Z"));
    host_test_check(copyConstruct(copy.bytes, plugin.bytes) == copy.bytes &&
                        virtualTable(copy.bytes) == interfaceTable,
                    "the copy constructor builds an interface object");
    auto assign = exported<Binary>(DECORATED("??4TavimoPluginInterface@@QAEAAV0@ABV0@@Z",
                                             "??4TavimoPluginInterface@@QEAAAEAV0@AEBV0@@Z"));
    host_test_check(assign(plugin.bytes, base.bytes) == plugin.bytes &&
                        virtualTable(plugin.bytes) == pluginTable,
                    "assignment copies nothing and returns the object");

    auto initPlugin = exported<Operation>(
        DECORATED("?initPlugin@SimtrovePlugin@@UAE_NXZ", "?initPlugin@SimtrovePlugin@@UEAA_NXZ"));
    host_test_check(!initPlugin(plugin.bytes), "the exported initPlugin refuses outside the host");

    // Slot 1 with flags 0 (an explicit destructor call) destroys without freeing:
    // the object lives on this stack, which a free would corrupt.
    reinterpret_cast<TavimoPluginInterface*>(plugin.bytes)->~TavimoPluginInterface();
    host_test_check(true, "slot 1 without the delete flag only destroys");
    constructPlugin(plugin.bytes);
    exported<Destructor>(DECORATED("??1SimtrovePlugin@@UAE@XZ", "??1SimtrovePlugin@@UEAA@XZ"))(
        plugin.bytes);
    exported<Destructor>(DECORATED("??1TavimoPluginInterface@@UAE@XZ",
                                   "??1TavimoPluginInterface@@UEAA@XZ"))(copy.bytes);
    host_test_check(true, "the exported destructors run");
}

}  // namespace

extern "C" void run_host_abi_checks() {
    void* const* pluginTable = nullptr;
    checkCreatedObjects(pluginTable);
    if (pluginTable != nullptr) checkExportedMembers(pluginTable);
}
