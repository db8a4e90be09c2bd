// The C calling convention of every function that crosses the host boundary,
// spelled out on 32-bit Windows where other conventions exist.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define TV_CDECL __cdecl
#else
#define TV_CDECL
#endif
