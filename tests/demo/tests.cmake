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
