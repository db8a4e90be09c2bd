// What a host built with Microsoft's compiler expects the plug-in DLL to
// export: the seven C functions and the listed class members, declared here
// independently of the plug-in's sources and compiled by clang in that ABI, so
// that the compiler spells the decorated names (check_dll_exports.sh).
class __declspec(dllexport) TavimoPluginInterface {
  public:
    TavimoPluginInterface();
    TavimoPluginInterface(const TavimoPluginInterface& other);
    virtual ~TavimoPluginInterface();
    TavimoPluginInterface& operator=(const TavimoPluginInterface& other);
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

class SimtrovePlugin : public TavimoPluginInterface {
  public:
    __declspec(dllexport) SimtrovePlugin();
    __declspec(dllexport) ~SimtrovePlugin() override;
    __declspec(dllexport) bool execute() override;
    __declspec(dllexport) bool initPlugin() override;
};

TavimoPluginInterface::TavimoPluginInterface() {}
TavimoPluginInterface::TavimoPluginInterface(const TavimoPluginInterface&) {}
TavimoPluginInterface::~TavimoPluginInterface() {}
TavimoPluginInterface& TavimoPluginInterface::operator=(const TavimoPluginInterface&) {
    return *this;
}
SimtrovePlugin::SimtrovePlugin() {}
SimtrovePlugin::~SimtrovePlugin() {}
bool SimtrovePlugin::execute() {
    return false;
}
bool SimtrovePlugin::initPlugin() {
    return false;
}

extern "C" {
__declspec(dllexport) TavimoPluginInterface* __cdecl createPlugin() {
    return nullptr;
}
__declspec(dllexport) const char* __cdecl getPluginName() {
    return "";
}
__declspec(dllexport) const char* __cdecl getPluginDescription() {
    return "";
}
__declspec(dllexport) const char* __cdecl getAuthor() {
    return "";
}
__declspec(dllexport) const char* __cdecl getHelpFile() {
    return "";
}
__declspec(dllexport) const char* __cdecl getPluginVersion() {
    return "";
}
__declspec(dllexport) const char* __cdecl getGUIScript() {
    return "";
}
}
