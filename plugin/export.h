// Marks what the plug-in library exports; everything else stays hidden.
//
// SIMTROVE_EXPORT marks a C function or a whole class. SIMTROVE_CLASS_EXPORT and
// SIMTROVE_MEMBER_EXPORT mark a class of which Windows exports only the members
// so marked (and not its virtual table or implicit members); on Linux the whole
// class is visible and the version script picks the exports.
// The plug-in's own translation units define SIMTROVE_BUILDING_PLUGIN; a host
// that includes these headers imports instead.
#pragma once

#if defined(_WIN32)
#if defined(SIMTROVE_BUILDING_PLUGIN)
#define SIMTROVE_EXPORT __declspec(dllexport)
#else
#define SIMTROVE_EXPORT __declspec(dllimport)
#endif
#define SIMTROVE_CLASS_EXPORT
#define SIMTROVE_MEMBER_EXPORT SIMTROVE_EXPORT
#else
#define SIMTROVE_EXPORT __attribute__((visibility("default")))
#define SIMTROVE_CLASS_EXPORT SIMTROVE_EXPORT
#define SIMTROVE_MEMBER_EXPORT
#endif

// The C calling convention of the exported functions (explicit on 32-bit Windows).
#if defined(_WIN32) && !defined(_WIN64)
#define SIMTROVE_CDECL __cdecl
#else
#define SIMTROVE_CDECL
#endif
