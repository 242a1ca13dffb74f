# Cross build for 64-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64-posix
# and binutils-mingw-w64-x86-64). The posix threads variant is the one Qt needs: std::thread,
# std::mutex and friends are missing from the win32 variant's libstdc++.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=<Qt for Windows> ...
#
# Qt for Windows is built by tools/build-qt-win64.sh; it remembers the Linux Qt in /usr as its
# host Qt (moc, rcc, uic), so nothing more is needed to find those tools.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "")

# Libraries, headers and packages come from the MinGW tree only, never from the Linux system;
# programs (moc, ninja, perl) come from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
# Prefixes named on the command line (a Qt for Windows outside /usr/x86_64-w64-mingw32) are
# roots of their own, or find_package would look for them under the MinGW tree and fail.
set(_mingw_prefixes ${CMAKE_PREFIX_PATH})
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" _mingw_env_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND _mingw_prefixes ${_mingw_env_prefixes})
endif()
foreach(prefix IN LISTS _mingw_prefixes)
  list(APPEND CMAKE_FIND_ROOT_PATH "${prefix}")
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and add_test run the Windows programs under Wine.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh")
  get_filename_component(_mingw_wine_run "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh" ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_mingw_wine_run}")
endif()
