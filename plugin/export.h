// Marks what the plug-in library exports; everything else stays hidden.
#pragma once

#if defined(_WIN32)
#define SIMTROVE_EXPORT __declspec(dllexport)
#else
#define SIMTROVE_EXPORT __attribute__((visibility("default")))
#endif

// The C calling convention of the exported functions (explicit on 32-bit Windows).
#if defined(_WIN32) && !defined(_WIN64)
#define SIMTROVE_CDECL __cdecl
#else
#define SIMTROVE_CDECL
#endif
