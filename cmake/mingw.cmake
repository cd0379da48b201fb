# Cross build for Windows from Debian with mingw-w64; the including file sets
# SORVANE_MINGW_PROCESSOR (i686 or x86_64). The -posix variant of the
# compilers is required: the win32-threads one has no std::mutex and cannot
# build GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SORVANE_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER   ${SORVANE_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${SORVANE_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  ${SORVANE_MINGW_PROCESSOR}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SORVANE_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test binaries run through Wine; the script sets up the prefix and locale.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
