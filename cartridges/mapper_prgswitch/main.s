; The PRG-switching board with 128 KB of PRG-ROM and CHR RAM: any write to
; $8000-$FFFF picks the 16 KB at $8000; the last 16 KB stay at $C000. Bank
; numbers past the ROM drop their high bits.
.include "cartridge.inc"

ines_header 8, 0, 2, 0

prg_tags 16

; Selects 16 KB bank `value` (written at `address`) and checks that $8000
; and $A000 show units `unit` and `unit` + 1 while $C000-$FFFF keep the
; last bank.
.macro check_bank address, value, unit, code
    lda #value
    sta address
    expect_byte $8000, unit, code, "WRONG BANK AT 8000"
    expect_byte $A000, unit + 1, code, "WRONG BANK AT A000"
    expect_byte $C000, 14, code, "C000 MOVED"
    expect_byte $E000, 15, code, "E000 MOVED"
.endmacro

.segment "CODE"
reset:
    cartridge_start

    ; Power-up: first bank at $8000, last at $C000.
    expect_byte $8000, 0, 2, "POWER-UP 8000 NOT BANK 0"
    expect_byte $C000, 14, 3, "POWER-UP C000 NOT LAST BANK"

    check_bank $8000, 3, 6, 4
    check_bank $FFFF, 7, 14, 5
    check_bank $C123, 0, 0, 6
    check_bank $8000, $0A, 4, 7     ; 8 banks: $0A keeps bits 0-2, bank 2
    check_bank $9000, $FF, 14, 8

    ; Pattern RAM: what the data port writes reads back.
    lda #$3C
    ppu_poke $0010
    lda #$A5
    ppu_poke $1FF7
    expect_ppu $0010, $3C, 9, "PATTERN RAM 0010"
    expect_ppu $1FF7, $A5, 10, "PATTERN RAM 1FF7"

    result_pass

nmi:
irq:
    rti

vectors
