# Cross-compiles zngroups for 64-bit Windows with Debian's mingw-w64 (x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZNGROUPS_MINGW_TRIPLET x86_64-w64-mingw32)

# The posix flavour of the compiler: the win32 flavour lacks std::thread, which the test
# fixtures use.
set(CMAKE_C_COMPILER ${ZNGROUPS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZNGROUPS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZNGROUPS_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZNGROUPS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and tests run under Wine. Debian's wine64 package keeps the loader out of PATH.
find_program(ZNGROUPS_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZNGROUPS_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZNGROUPS_WINE64})
endif()
