# Mapper test cartridges: each switches banks on its board and reports what
# it read back through the $6000 result protocol.
foreach(board none prgswitch axrom mmc1 mmc3 mmc2 mmc4)
  corvel_cartridge_test(mapper_${board} 30)
endforeach()

# The MMC3 scanline counter in a running frame: IRQs per frame and the lines
# they land on.
corvel_cartridge_test(mapper_mmc3_irq 60)

# The MMC2 picture test reads the headless tool's PNG screenshot.
target_link_libraries(corvel_tests PRIVATE PNG::PNG)
