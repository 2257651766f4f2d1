# Cross-compiling the Windows program as 64-bit PE with Debian's MinGW-w64 x86-64 tool chain: the
# same sources as the 32-bit build, for machines whose kernel runs no 32-bit program (and so no
# 32-bit Wine). The tests run through the 64-bit Wine loader itself: the `wine` wrapper picks the
# 32-bit one whenever it is installed, whether or not it can start.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh /usr/lib/wine/wine64)
