; AxROM with 256 KB of PRG-ROM: one 32 KB window, chosen with bits 0-2 of
; any write to $8000-$FFFF, and bit 4 choosing which kilobyte of nametable
; memory all four screens show. The switching runs from RAM, since the
; window it switches holds the code.
.include "cartridge.inc"

ines_header 16, 0, 7, 0

prg_tags 32

.segment "ZEROPAGE"
seen_8000: .res 1
seen_e000: .res 1

.segment "RAMCODE"
; Selects the bank in A, notes the first bytes of its first and last 8 KB,
; and returns to the last bank (where the code is).
probe_bank:
    sta $8000
    lda $8000
    sta seen_8000
    lda $E000
    sta seen_e000
    lda #$07
    sta $8000
    rts

.segment "CODE"

.macro check_bank value, bank, code
    lda #value
    jsr probe_bank
    lda seen_8000
    expect_a bank * 4, code, "WRONG BANK AT 8000"
    lda seen_e000
    expect_a bank * 4 + 3, code, "WRONG BANK AT E000"
.endmacro

reset:
    cartridge_start
    copy_ramcode

    ; Power-up: the last 32 KB.
    expect_byte $8000, 28, 2, "POWER-UP NOT LAST 32K"
    expect_byte $E000, 31, 3, "POWER-UP E000 NOT LAST UNIT"

    check_bank $00, 0, 4
    check_bank $03, 3, 5
    check_bank $13, 3, 6
    check_bank $E5, 5, 7      ; bits 5-7 are not bank bits
    check_bank $06, 6, 8

    ; One-screen arrangements: with bit 4 set all screens show the upper
    ; kilobyte, with it clear the lower one.
    lda #$17
    sta $8000
    lda #$55
    ppu_poke $2000
    expect_ppu $2C00, $55, 9, "UPPER: 2C00 IS NOT 2000"
    lda #$07
    sta $8000
    lda #$AA
    ppu_poke $2400
    expect_ppu $2800, $AA, 10, "LOWER: 2800 IS NOT 2400"
    lda #$17
    sta $8000
    expect_ppu $2400, $55, 11, "UPPER KILOBYTE LOST"
    lda #$07
    sta $8000
    expect_ppu $2000, $AA, 12, "LOWER KILOBYTE LOST"

    ; Pattern RAM.
    lda #$69
    ppu_poke $1234
    expect_ppu $1234, $69, 13, "PATTERN RAM 1234"

    result_pass

nmi:
irq:
    rti

vectors
