# The tests read the screenshots back with libpng (linked with the library).

# Cartridges that measure the PPU's flags themselves.
corvel_cartridge_test(picture_flags 120)

# A screenshot that cannot be written is an error, reported on stderr.
add_test(NAME headless_screenshot_unwritable
  COMMAND corvel-headless --sound off --frames 1 --screenshot ${CMAKE_BINARY_DIR}/no-such-directory/shot.png
          ${CORVEL_CARTRIDGE_DIR}/picture_sprites.nes)
set_tests_properties(headless_screenshot_unwritable PROPERTIES WILL_FAIL TRUE)
