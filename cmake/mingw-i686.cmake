# Cross toolchain for the 32-bit Windows build: the unit tests, the test tools, and
# (through a nested build with mingw-i686-win32threads.cmake) korvana-setup.exe.
# The posix-thread compilers are used because GoogleTest needs std::mutex, which
# the win32-thread ones lack; the runtime is linked statically, so nothing of it
# ships beside an executable.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Unit tests built for Windows run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Read by CMakeLists.txt: a posix-thread tree builds the tests and leaves the
# shipped executable to a win32-thread one.
set(KORVANA_THREAD_MODEL posix)
