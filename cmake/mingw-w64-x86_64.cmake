# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORLIN_MINGW_PREFIX x86_64-w64-mingw32)
find_program(VORLIN_MINGW_CXX NAMES ${VORLIN_MINGW_PREFIX}-g++-posix ${VORLIN_MINGW_PREFIX}-g++)
find_program(VORLIN_MINGW_CC NAMES ${VORLIN_MINGW_PREFIX}-gcc-posix ${VORLIN_MINGW_PREFIX}-gcc)
find_program(VORLIN_MINGW_RC NAMES ${VORLIN_MINGW_PREFIX}-windres)
if(NOT VORLIN_MINGW_CXX OR NOT VORLIN_MINGW_CC OR NOT VORLIN_MINGW_RC)
  message(FATAL_ERROR "MinGW-w64 cross compiler not found: install g++-mingw-w64-x86-64-posix "
                      "and binutils-mingw-w64-x86-64")
endif()
set(CMAKE_C_COMPILER ${VORLIN_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VORLIN_MINGW_CXX})
set(CMAKE_RC_COMPILER ${VORLIN_MINGW_RC})

# Debian's MinGW libraries (zlib), and the image libraries that scripts/build-mingw-deps.sh
# cross-builds from Debian's sources.
set(VORLIN_MINGW_DEPS_PREFIX /usr/local/${VORLIN_MINGW_PREFIX}-vorlin
    CACHE PATH "Image libraries cross-built by scripts/build-mingw-deps.sh")
set(CMAKE_FIND_ROOT_PATH /usr/${VORLIN_MINGW_PREFIX} ${VORLIN_MINGW_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
