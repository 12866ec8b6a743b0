# 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64): only to run the
# Wine suite where the kernel cannot run 32-bit programs; players get the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
