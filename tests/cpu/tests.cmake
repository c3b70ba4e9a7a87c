# The CPU's test cartridges: each runs on the console and reports through the
# $6000 result protocol. The frame counts leave a wide margin over what each
# needs (about 5, 5, 5, 120, 100, 5, 12, 40 and 6 frames).
corvel_cartridge_test(cpu_loadstore 30)
corvel_cartridge_test(cpu_arith 30)
corvel_cartridge_test(cpu_stack 30)
corvel_cartridge_test(cpu_interrupts 200)
corvel_cartridge_test(cpu_branch_timing 240)
corvel_cartridge_test(cpu_rmw_io 30)
corvel_cartridge_test(cpu_reset 60)
corvel_cartridge_test(cpu_wait_loops 150)
corvel_cartridge_test(cpu_sprite_dma 30)
