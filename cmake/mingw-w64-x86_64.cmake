# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PGL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PGL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PGL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PGL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PGL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run under Wine when CMake or CTest need to run them (test discovery).
find_program(PGL_WINE_PROGRAM wine)
if(PGL_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PGL_WINE_PROGRAM})
endif()
