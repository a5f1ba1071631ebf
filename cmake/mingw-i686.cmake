# Cross-build for Windows with mingw-w64: 32-bit x86, or x64 where mingw-x86_64.cmake has set
# the processor before it includes this file.
if(NOT mingw_processor)
  set(mingw_processor i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${mingw_processor})
set(CMAKE_C_COMPILER ${mingw_processor}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${mingw_processor}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${mingw_processor}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_processor}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
