# The same sources for 64-bit Windows, for running the tests on machines that
# cannot execute 32-bit code (scripts/arch.sh).
set(SORVANE_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
