# The unchanged zolmek.exe with the emulator's zolmek-hid.dll beside it,
# started from a test program under wine. The test program needs a console
# for the keys it feeds in: wine gives it one when its stdin is a terminal,
# so it runs under a pseudo-terminal (script), its output piped through.
add_executable(zolmek-wine-binary-tests
  binary_harness_win32.cpp binary_scenarios.cpp binary_scenario_chords.cpp
  binary_test_win32.cpp)
target_link_libraries(zolmek-wine-binary-tests PRIVATE GTest::gtest_main user32)
target_include_directories(zolmek-wine-binary-tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(zolmek-wine-binary-tests PRIVATE
  ZOLMEK_BINARY="$<TARGET_FILE:zolmek>"
  ZOLMEK_EMULATOR_DLL="$<TARGET_FILE:zolmek-hid-emulator>"
  ZOLMEK_KEY_SOUND="${CMAKE_BINARY_DIR}/test1.wav")
add_dependencies(zolmek-wine-binary-tests zolmek zolmek-hid-emulator
  key-sound)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME zolmek-wine-binary-tests
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/run_in_console.sh
            ${CMAKE_CROSSCOMPILING_EMULATOR}
            $<TARGET_FILE:zolmek-wine-binary-tests>)
  set_tests_properties(zolmek-wine-binary-tests PROPERTIES LABELS binary)
endif()

# zolmek.exe with the real zolmek-hid.dll, for the system-tier VM test
# (tests/vm/system_test.cpp), which runs it under wine against
# zolmek-remote.
add_executable(zolmek-wine-run wine_run_zolmek.cpp binary_harness_win32.cpp)
target_link_libraries(zolmek-wine-run PRIVATE GTest::gtest user32 hid
                                              setupapi)
target_include_directories(zolmek-wine-run PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(zolmek-wine-run PRIVATE
  ZOLMEK_BINARY="$<TARGET_FILE:zolmek>"
  ZOLMEK_EMULATOR_DLL="$<TARGET_FILE:zolmek-hid-emulator>"
  ZOLMEK_TRANSPORT_DLL="$<TARGET_FILE:zolmek-hid>"
  ZOLMEK_KEY_SOUND="${CMAKE_BINARY_DIR}/test1.wav")
add_dependencies(zolmek-wine-run zolmek zolmek-hid key-sound)
