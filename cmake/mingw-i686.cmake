# The 32-bit Windows program, the one users get.
set(SORVANE_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
