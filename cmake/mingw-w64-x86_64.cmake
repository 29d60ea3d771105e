# Cross-build for x86_64 Windows with Debian's mingw-w64 -posix compilers
# (the ones whose libstdc++ has std::thread), linked statically so that
# zolmek.exe and the DLLs need no mingw runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZOLMEK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZOLMEK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZOLMEK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZOLMEK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZOLMEK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs and the build's own tools run under wine.
find_program(ZOLMEK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZOLMEK_WINE64)
  find_program(ZOLMEK_WINE64 NAMES wine64 wine)
endif()
if(ZOLMEK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLMEK_WINE64})
endif()
