# The demo cartridge played headless: a long scripted game on a copy of the
# image (the battery file lands beside the copy, not in the build tree). The
# unit tests in demo_cartridge_test.cpp check its picture, sound and battery.
add_test(NAME demo_scripted_game
  COMMAND ${CMAKE_COMMAND}
    -DHEADLESS=$<TARGET_FILE:corvel-headless>
    -DIMAGE=${CORVEL_CARTRIDGE_DIR}/demo.nes
    -DSCRIPT=${CMAKE_SOURCE_DIR}/tests/demo/long_game.txt
    -DWORK=${CMAKE_BINARY_DIR}/demo_scripted_game
    -P ${CMAKE_SOURCE_DIR}/tests/demo/run_scripted_game.cmake)

# `cmake --install` into a scratch prefix: the programs, the demo cartridge
# where find_demo_cartridge looks for it, the desktop entry and the icons.
if(CORVEL_INSTALL_RULES)
  add_test(NAME demo_install_tree
    COMMAND ${CMAKE_COMMAND}
      -DBUILD=${CMAKE_BINARY_DIR}
      -DPREFIX=${CMAKE_BINARY_DIR}/demo_install_tree
      -DDESKTOP=$<TARGET_EXISTS:corvel>
      -P ${CMAKE_SOURCE_DIR}/tests/demo/check_install.cmake)
endif()
