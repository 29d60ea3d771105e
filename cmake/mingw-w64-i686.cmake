# Cross-build for i686 Windows, the 32-bit target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZOLMEK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Nothing runs the 32-bit programs here: they are built and linked only.
# Tools the build would run (the sample sound) come from elsewhere; see
# ZOLMEK_KEY_SOUND_FILE.
