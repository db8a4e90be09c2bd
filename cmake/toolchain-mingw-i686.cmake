# Cross build of the 32-bit Windows plug-in DLL and the Windows stand-in host.
# SSE2 arithmetic instead of the x87 unit, so that every float and double step
# rounds exactly as on the 64-bit Linux build; no FMA contraction (set globally).
set(SIMTROVE_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
