# CMake toolchain of the Windows build: 64-bit mingw-w64 with the posix
# thread model (the win32 one has no std::thread in GCC 12), linked static so
# the program needs only Windows' own DLLs. The cross-built libraries are
# found in build-win-deps/prefix (scripts/windows.sh), or where QH_WIN_PREFIX
# in the environment says; pkg-config reads only their .pc files, never the
# host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
if(DEFINED ENV{QH_WIN_PREFIX})
  set(qh_win_prefix $ENV{QH_WIN_PREFIX})
else()
  get_filename_component(qh_win_prefix ${CMAKE_CURRENT_LIST_DIR}/../build-win-deps/prefix ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH ${qh_win_prefix} /usr/x86_64-w64-mingw32)
set(ENV{PKG_CONFIG_LIBDIR} ${qh_win_prefix}/lib/pkgconfig)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
