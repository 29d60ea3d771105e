# What both mingw-w64 targets share; the including toolchain file sets
# ZOLMEK_MINGW_TRIPLE first. Debian's -posix compilers are the ones whose
# libstdc++ has std::thread; linking statically means zolmek.exe and the
# DLLs need no mingw runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)

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
