# Cross build of the 64-bit Windows plug-in DLL and stand-in host (for running
# under 64-bit Wine where 32-bit programs cannot run).
set(SIMTROVE_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
