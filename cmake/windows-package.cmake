# The Windows zip: zolmek.exe and zolmekw.exe, the real zolmek-hid.dll
# beside them, the sample test1.wav, the example key map, a read-me for
# Windows users and the licence, all in one folder
# (cpack -G ZIP). The two texts get Windows line ends, which Notepad before
# Windows 10 needs.
install(TARGETS zolmek zolmekw RUNTIME DESTINATION .)
install(TARGETS zolmek-hid RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/test1.wav DESTINATION .)
configure_file(${CMAKE_SOURCE_DIR}/packaging/README-windows.txt
               ${CMAKE_BINARY_DIR}/package/README-windows.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE
               ${CMAKE_BINARY_DIR}/package/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/packaging/keymap.conf
               ${CMAKE_BINARY_DIR}/package/keymap.conf
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/README-windows.txt
              ${CMAKE_BINARY_DIR}/package/LICENSE.txt
              ${CMAKE_BINARY_DIR}/package/keymap.conf
        DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ZOLMEK_WINDOWS_ARCH win32)
else()
  set(ZOLMEK_WINDOWS_ARCH win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zolmek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zolmek-${PROJECT_VERSION}-${ZOLMEK_WINDOWS_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
