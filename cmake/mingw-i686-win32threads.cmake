# Cross toolchain for the shipped korvana-setup.exe: mingw-i686.cmake with the
# win32-thread compilers. Their static runtime leaves out winpthread, which the
# posix-thread one links into every executable (about 28 KB) although the program
# starts no thread through the C++ library; a worker thread is started with
# _beginthreadex, which either runtime serves. GoogleTest does not build with it
# (no std::mutex), so a tree configured with this file builds only the product and
# needs KORVANA_TESTS=OFF. A tree configured with mingw-i686.cmake builds one of
# these itself.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(KORVANA_THREAD_MODEL win32)
