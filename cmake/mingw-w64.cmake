# What both MinGW-w64 toolchains share, from Debian's packages; the file that includes
# this one names the target in CMAKE_SYSTEM_PROCESSOR (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(tolvane_mingw ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${tolvane_mingw}-gcc)
set(CMAKE_CXX_COMPILER ${tolvane_mingw}-g++)
set(CMAKE_RC_COMPILER ${tolvane_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${tolvane_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
