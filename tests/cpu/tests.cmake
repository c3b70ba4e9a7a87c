# The CPU's test cartridges: each runs on the console and reports through the
# $6000 result protocol.
corvel_cartridge_test(cpu_loadstore 30)
corvel_cartridge_test(cpu_arith 30)
corvel_cartridge_test(cpu_stack 30)
corvel_cartridge_test(cpu_interrupts 60)
