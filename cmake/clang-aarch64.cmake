# Cross-build for ARM64 Windows. Debian has no ARM64 mingw-w64 gcc, so clang and lld. The C
# headers are mingw-w64's own, which serve every processor. The few C++ headers the sources use
# (<string_view>, <array>, <algorithm>) come from the x86-64 mingw-w64 libstdc++: the same data
# model (LLP64) and C library, and only their header-only parts are used. Nothing is linked but
# kernel32.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET aarch64-w64-mingw32)
set(CMAKE_RC_COMPILER llvm-windres-14)
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 -I/usr/share/mingw-w64/include")
file(GLOB libstdcxx /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include/c++)
string(JOIN " " CMAKE_CXX_FLAGS_INIT -isystem ${libstdcxx}
  -isystem ${libstdcxx}/x86_64-w64-mingw32 -isystem /usr/share/mingw-w64/include)
# The compile step alone: the link would warn that it goes unused.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-nostdlibinc>)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -fuse-ld=lld)
# No C runtime to link a test program with: the compiler is tried on a library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# kernel32 is the one import library there is for this target, made by the build.
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
