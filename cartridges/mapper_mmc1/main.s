; MMC1 with 128 KB of PRG-ROM and 32 KB of CHR-ROM. Registers are loaded
; through the serial port: five writes of bit 0, the fifth address choosing
; the register. Checks each PRG mode (the modes that move $C000 run from
; RAM, since the code lives in the last bank), both CHR modes, the reset bit
; and the arrangement bit.
.include "cartridge.inc"

ines_header 8, 4, 1, 0

prg_tags 16
chr_tags 32

.segment "ZEROPAGE"
seen_8000: .res 1
seen_c000: .res 1
prg_value: .res 1

; Five serial writes of the constant `value` to `address`.
.macro mmc1_set address, value
    lda #value
    sta address
    lsr a
    sta address
    lsr a
    sta address
    lsr a
    sta address
    lsr a
    sta address
.endmacro

.segment "RAMCODE"
; Writes control A and PRG register prg_value, notes the first bytes at
; $8000 and $C000, then goes back to mode 3 with bank 0 (last bank at $C000).
probe_prg:
    ldx #5
control_bits:
    sta $8000
    lsr a
    dex
    bne control_bits
    lda prg_value
    ldx #5
prg_bits:
    sta $E000
    lsr a
    dex
    bne prg_bits
    lda $8000
    sta seen_8000
    lda $C000
    sta seen_c000
    lda #$80              ; reset bit: PRG mode 3
    sta $8000
    lda #0
    ldx #5
restore_bits:
    sta $E000
    dex
    bne restore_bits
    rts

.segment "CODE"

.macro check_prg control, value, unit_8000, unit_c000, code
    lda #value
    sta prg_value
    lda #control
    jsr probe_prg
    lda seen_8000
    expect_a unit_8000, code, "WRONG BANK AT 8000"
    lda seen_c000
    expect_a unit_c000, code, "WRONG BANK AT C000"
.endmacro

reset:
    cartridge_start
    copy_ramcode

    ; Power-up: first bank at $8000, last at $C000, CHR kilobyte 0 in both halves.
    expect_byte $8000, 0, 2, "POWER-UP 8000 NOT BANK 0"
    expect_byte $C000, 14, 3, "POWER-UP C000 NOT LAST BANK"
    expect_ppu $1000, 0, 4, "POWER-UP PPU 1000 NOT CHR 0"

    ; Mode 3 (switch $8000): bank 5, the last bank stays at $C000.
    mmc1_set $8000, $0C
    mmc1_set $E000, 5
    expect_byte $8000, 10, 5, "MODE 3: 8000 NOT BANK 5"
    expect_byte $C000, 14, 5, "MODE 3: C000 MOVED"

    ; Bits of one value spread over several addresses: the fifth decides.
    lda #1
    sta $8000
    lda #1
    sta $A000
    lda #0
    sta $C000
    sta $9FFF
    sta $FFFF               ; value 3 to the PRG register
    expect_byte $8000, 6, 6, "FIFTH ADDRESS DID NOT DECIDE"

    ; A write with bit 7 empties the serial register: three bits, reset,
    ; then a fresh value of 2.
    lda #1
    sta $E000
    sta $E000
    sta $E000
    lda #$80
    sta $E000
    mmc1_set $E000, 2
    expect_byte $8000, 4, 7, "RESET BIT DID NOT EMPTY"

    ; Mode 2 (first bank fixed at $8000, switch $C000) and the 32 KB modes.
    check_prg $08, 3, 0, 6, 8
    check_prg $08, 6, 0, 12, 9
    check_prg $00, 3, 4, 6, 10          ; 32 KB: bank 3 acts as 2
    check_prg $04, 6, 12, 14, 11
    check_prg $0C, 1, 2, 14, 12

    ; CHR, 4 KB mode: two independent halves.
    mmc1_set $8000, $1C
    mmc1_set $A000, 5
    mmc1_set $C000, 2
    expect_ppu $0000, 20, 13, "4K MODE: PPU 0000 NOT CHR 5"
    expect_ppu $0FFF, 23, 13, "4K MODE: PPU 0FFF NOT CHR 5 END"
    expect_ppu $1000, 8, 14, "4K MODE: PPU 1000 NOT CHR 2"

    ; CHR, 8 KB mode: $A000 picks the pair (low bit ignored), $C000 is ignored.
    mmc1_set $8000, $0C
    mmc1_set $A000, 3
    mmc1_set $C000, 7
    expect_ppu $0000, 8, 15, "8K MODE: PPU 0000 NOT CHR 2"
    expect_ppu $1000, 12, 16, "8K MODE: PPU 1000 NOT CHR 3"

    ; Arrangement: bit 0 set pairs $2000 with $2400, clear with $2800.
    mmc1_set $8000, $0D
    lda #$00
    ppu_poke $2800
    lda #$11
    ppu_poke $2000
    expect_ppu $2400, $11, 17, "BIT 0 SET: 2400 NOT 2000"
    mmc1_set $8000, $0E     ; bit 1 never makes a one-screen arrangement
    lda #$22
    ppu_poke $2000
    expect_ppu $2800, $22, 18, "BIT 0 CLEAR: 2800 NOT 2000"

    result_pass

nmi:
irq:
    rti

vectors
