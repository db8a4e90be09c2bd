#!/usr/bin/env bash
# Checks the export table of the 32-bit plug-in DLL: a PE32 image whose named
# exports are exactly the seven C functions, undecorated (no leading underscore,
# no @N suffix), and the members, vtables and typeinfo of the two plug-in classes.
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
headers=$("$objdump" -p "$dll")
grep -q '^Magic[[:space:]]*010b' <<<"$headers" || { echo "$dll is not a PE32 (32-bit) image"; exit 1; }
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/ {print $3}' | sort)
expected=$(sort <<'LIST'
createPlugin
getAuthor
getGUIScript
getHelpFile
getPluginDescription
getPluginName
getPluginVersion
_ZN14SimtrovePlugin10initPluginEv
_ZN14SimtrovePlugin7executeEv
_ZN14SimtrovePluginC1Ev
_ZN14SimtrovePluginC2Ev
_ZN14SimtrovePluginD0Ev
_ZN14SimtrovePluginD1Ev
_ZN14SimtrovePluginD2Ev
_ZN21TavimoPluginInterfaceC1ERKS_
_ZN21TavimoPluginInterfaceC1Ev
_ZN21TavimoPluginInterfaceC2ERKS_
_ZN21TavimoPluginInterfaceC2Ev
_ZN21TavimoPluginInterfaceD0Ev
_ZN21TavimoPluginInterfaceD1Ev
_ZN21TavimoPluginInterfaceD2Ev
_ZN21TavimoPluginInterfaceaSERKS_
_ZTI14SimtrovePlugin
_ZTI21TavimoPluginInterface
_ZTV14SimtrovePlugin
_ZTV21TavimoPluginInterface
LIST
)
if [[ "$actual" != "$expected" ]]; then
    echo "unexpected export table of $dll:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
echo "exports of $dll: $(wc -l <<<"$actual") names, as intended; imports: $imports"
