# Programs on the emulated machine. Our cartridges check the console
# themselves and report through the $6000 result protocol; a cartridge
# passes when the headless tool's --blargg run exits 0 within the frames given
# (a wide margin over what each needs).
foreach(entry
    cpu_loadstore:30 cpu_arith:30 cpu_stack:30 cpu_interrupts:200 cpu_branch_timing:240 cpu_rmw_io:30
    cpu_reset:60 cpu_wait_loops:150 cpu_sprite_dma:30
    mapper_none:30 mapper_prgswitch:30 mapper_axrom:30 mapper_mmc1:30 mapper_mmc3:30 mapper_mmc2:30
    mapper_mmc4:30 mapper_mmc3_irq:60 picture_flags:120 sound_notes:500 lifecycle_resume:200
    result_first_frame:1)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 name)
  list(GET entry 1 frames)
  add_test(NAME cartridge_${name}
    COMMAND corvel-headless --blargg --frames ${frames} ${CORVEL_CARTRIDGE_DIR}/${name}.nes)
endforeach()

# The demo played with a scripted game on a copy of the image: the tool exits
# 0 and the battery file holds a record with a high score and two games.
add_test(NAME demo_scripted_game
  COMMAND ${CMAKE_COMMAND} -DHEADLESS=$<TARGET_FILE:corvel-headless> -DIMAGE=${CORVEL_CARTRIDGE_DIR}/demo.nes
    -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/long_game.txt -DWORK=${CMAKE_BINARY_DIR}/demo_scripted_game
    -P ${CMAKE_CURRENT_LIST_DIR}/run_scripted_game.cmake)

# `cmake --install` into a scratch prefix: what a desktop user gets.
if(CORVEL_INSTALL_RULES)
  add_test(NAME install_tree
    COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install_tree
      -DDESKTOP=$<TARGET_EXISTS:corvel> -P ${CMAKE_CURRENT_LIST_DIR}/check_install.cmake)
endif()
