# Cross-compiling the 32-bit Windows program with Debian's MinGW-w64 i686 tool chain.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Floats in SSE2 registers, as on x86-64: in the x87 unit they are held at 80 bits and rounded only
# when stored, so a start would play differently here than on Linux or 64-bit Windows. Every Windows
# still in use has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
