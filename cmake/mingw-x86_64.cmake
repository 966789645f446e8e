# Cross-compiling toolchain: MinGW-w64 for 64-bit Windows (x86_64). The shipped program is the
# i686 build; this one runs the tests on hosts whose kernel cannot execute 32-bit code (and so
# cannot start the 32-bit Wine loader).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRILVO_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
