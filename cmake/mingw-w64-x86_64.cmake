# Cross toolchain: Linux host -> x86_64 Windows with Debian's mingw-w64 (posix threading model).
# Used by the `windows` preset and by scripts/setup when it cross-builds third-party libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${KESTREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${KESTREL_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come only from the mingw sysroot (plus any prefix a caller
# appends, e.g. a cache of cross-built libraries); programs always come from the build host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
