# Cross-build for 64-bit Windows on Linux with mingw-w64; tests run under Wine. No Windows build
# of Qt exists here, so this build covers the Qt-free folders, the Win32 backend and the program's
# Windows resources (VORNIX_CROSS_WINE); the window's sources get a syntax-only compile instead.
# A native Windows build (MSVC, or MinGW with a MinGW Qt) uses no toolchain file: see README.
# The -posix compilers are needed: GCC 12's win32 thread model has no std::thread/std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORNIX_CROSS_WINE ON CACHE BOOL "Cross-build tested under Wine (set by the toolchain file)" FORCE)

set(CV_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${CV_MINGW_PREFIX}-gcc-posix ${CV_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${CV_MINGW_PREFIX}-g++-posix ${CV_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${CV_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${CV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest starts every test program through Wine (private prefix, quiet).
get_filename_component(CV_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CV_WINE_RUN})
