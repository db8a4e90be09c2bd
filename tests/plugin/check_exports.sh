#!/usr/bin/env bash
# Checks the dynamic symbol table of the plug-in library: exactly the seven C
# functions and the members, vtables and typeinfo of the two plug-in classes.
set -euo pipefail
library=$1
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | c++filt | sort)
expected=$(sort <<'LIST'
createPlugin
getAuthor
getGUIScript
getHelpFile
getPluginDescription
getPluginName
getPluginVersion
SimtrovePlugin::execute()
SimtrovePlugin::initPlugin()
SimtrovePlugin::SimtrovePlugin()
SimtrovePlugin::SimtrovePlugin()
SimtrovePlugin::~SimtrovePlugin()
SimtrovePlugin::~SimtrovePlugin()
SimtrovePlugin::~SimtrovePlugin()
TavimoPluginInterface::operator=(TavimoPluginInterface const&)
TavimoPluginInterface::TavimoPluginInterface(TavimoPluginInterface const&)
TavimoPluginInterface::TavimoPluginInterface(TavimoPluginInterface const&)
TavimoPluginInterface::TavimoPluginInterface()
TavimoPluginInterface::TavimoPluginInterface()
TavimoPluginInterface::~TavimoPluginInterface()
TavimoPluginInterface::~TavimoPluginInterface()
TavimoPluginInterface::~TavimoPluginInterface()
typeinfo for SimtrovePlugin
typeinfo for TavimoPluginInterface
typeinfo name for SimtrovePlugin
typeinfo name for TavimoPluginInterface
vtable for SimtrovePlugin
vtable for TavimoPluginInterface
LIST
)
if [[ "$actual" != "$expected" ]]; then
    echo "unexpected dynamic symbol table of $library:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "exports of $library: $(echo "$actual" | wc -l) symbols, as intended"
