# Cross-build for x86_64 Windows.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZOLMEK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Test programs and the build's own tools run under wine.
find_program(ZOLMEK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZOLMEK_WINE64)
  find_program(ZOLMEK_WINE64 NAMES wine64 wine)
endif()
if(ZOLMEK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLMEK_WINE64})
endif()
