# The MinGW-w64 compilers of TRILVO_MINGW_PREFIX (posix thread model: googletest needs std::mutex,
# which the win32 thread model of GCC 12 lacks), shared by the two toolchain files.
find_program(CMAKE_C_COMPILER NAMES ${TRILVO_MINGW_PREFIX}-gcc-posix ${TRILVO_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TRILVO_MINGW_PREFIX}-g++-posix ${TRILVO_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TRILVO_MINGW_PREFIX}-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TRILVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
