# Cross-build for i686 Windows, the 32-bit target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZOLMEK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# The tests run under wine's 32-bit loader where this machine runs i386
# programs: scripts/test-windows.sh finds out and names the loader here.
# Elsewhere the 32-bit programs are built and linked only. Tools the build
# would run (the sample sound) come from elsewhere; see
# ZOLMEK_KEY_SOUND_FILE.
set(ZOLMEK_WINE32 "" CACHE FILEPATH
    "wine's 32-bit loader, where this machine can run it")
if(ZOLMEK_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLMEK_WINE32})
endif()
