# Cross build of the 64-bit Windows DLL with Debian's mingw-w64 compilers.
# The posix-threads variant is required: its libstdc++ has the timed and
# recursive mutexes (std::recursive_timed_mutex) that the win32-threads
# variant lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The test executables run under Wine: CTest starts each through this
# wrapper, with the Wine prefix (C: drive and registry) in the build tree.
get_filename_component(ZELVO_WINE_WRAPPER ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run-under-wine.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELVO_WINE_WRAPPER} --prefix ${CMAKE_BINARY_DIR}/wineprefix)

# Executables (the tests) carry their C++ and thread runtimes inside, so Wine
# needs no path to the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
