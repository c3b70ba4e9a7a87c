# The desktop shell under a private X server, with a small X client that drops
# files on the window as a file manager would; and the shell's gamepad code
# in-process, SDL's virtual game controllers standing for pads being plugged
# in and pressed. Both need the corvel executable (not built in the sanitizer
# configuration).
if(TARGET corvel)
  find_package(X11 REQUIRED)
  add_executable(corvel_xdnd_drop ${CMAKE_CURRENT_LIST_DIR}/xdnd_drop.c)
  target_link_libraries(corvel_xdnd_drop PRIVATE X11::X11)
  add_test(NAME desktop_shell
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop_test.sh $<TARGET_FILE:corvel> ${CORVEL_CARTRIDGE_DIR})
  set_tests_properties(desktop_shell PROPERTIES LABELS desktop TIMEOUT 480)
  add_executable(corvel_pad_tests ${CMAKE_CURRENT_LIST_DIR}/gamepad_test.cpp ${CMAKE_SOURCE_DIR}/src/platform/gamepad.cpp)
  target_include_directories(corvel_pad_tests SYSTEM PRIVATE ${SDL2_INCLUDE_DIRS})
  target_link_libraries(corvel_pad_tests PRIVATE corvel_core ${SDL2_LIBRARIES} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(corvel_pad_tests DISCOVERY_TIMEOUT 60)
endif()
