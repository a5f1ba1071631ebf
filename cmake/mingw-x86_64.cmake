# Cross-build for x64 Windows with mingw-w64.
set(mingw_processor x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
