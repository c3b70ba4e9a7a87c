# The screenshot writer is part of the headless tool; the tests compile it in
# to write and read back pictures, and read the tool's screenshots with libpng.
target_sources(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless/png_writer.cpp)
target_include_directories(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless)
target_link_libraries(corvel_tests PRIVATE PNG::PNG)

# Cartridges that measure the PPU's flags themselves.
corvel_cartridge_test(picture_flags 120)

# A screenshot that cannot be written is an error, reported on stderr.
add_test(NAME headless_screenshot_unwritable
  COMMAND corvel-headless --sound off --frames 1 --screenshot ${CMAKE_BINARY_DIR}/no-such-directory/shot.png
          ${CORVEL_CARTRIDGE_DIR}/picture_sprites.nes)
set_tests_properties(headless_screenshot_unwritable PROPERTIES WILL_FAIL TRUE)
