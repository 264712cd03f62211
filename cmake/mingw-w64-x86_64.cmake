# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread needs), run under wine64. scripts/build-windows passes this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALLYBOX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALLYBOX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALLYBOX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALLYBOX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLYBOX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Nothing to ship beside the programs: the C and C++ run-times and winpthreads go inside.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TALLYBOX_WINE NAMES wine wine64 PATHS /usr/lib/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TALLYBOX_WINE})
