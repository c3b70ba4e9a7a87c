; MMC3 banking with 256 KB of PRG-ROM and 64 KB of CHR-ROM: the eight bank
; registers in both PRG modes and both CHR arrangements, bank numbers past
; the ROM, and the arrangement register. The code lives in the last 8 KB,
; which no register moves.
.include "cartridge.inc"

ines_header 16, 8, 4, 0

prg_tags 32
chr_tags 64

; Bank select, then bank data.
.macro mmc3_bank select, value
    lda #select
    sta $8000
    lda #value
    sta $8001
.endmacro

.segment "CODE"
reset:
    cartridge_start

    ; Power-up: the second-last 8 KB at $8000, $A000 and $C000, the last at $E000.
    expect_byte $8000, 30, 2, "POWER-UP 8000"
    expect_byte $A000, 30, 2, "POWER-UP A000"
    expect_byte $C000, 30, 2, "POWER-UP C000"
    expect_byte $E000, 31, 2, "POWER-UP E000"

    ; PRG mode 0: R6 at $8000, R7 at $A000, second-last at $C000.
    mmc3_bank $06, 5
    mmc3_bank $07, 9
    expect_byte $8000, 5, 3, "MODE 0: 8000 NOT R6"
    expect_byte $A000, 9, 3, "MODE 0: A000 NOT R7"
    expect_byte $C000, 30, 3, "MODE 0: C000 NOT FIXED"

    ; Bank numbers past 32 units drop their high bits.
    mmc3_bank $06, $25
    expect_byte $8000, 5, 4, "R6 25 NOT UNIT 5"

    ; PRG mode 1: R6 at $C000, second-last at $8000; takes effect at the write.
    mmc3_bank $46, 4
    expect_byte $C000, 4, 5, "MODE 1: C000 NOT R6"
    expect_byte $8000, 30, 5, "MODE 1: 8000 NOT FIXED"
    expect_byte $A000, 9, 5, "MODE 1: A000 LOST R7"
    expect_byte $E000, 31, 5, "MODE 1: E000 MOVED"

    ; CHR without inversion: 2 KB at $0000 and $0800, 1 KB at $1000-$1C00.
    mmc3_bank $00, 8
    mmc3_bank $01, 11        ; an odd value shows banks 11 and 12
    mmc3_bank $02, 20
    mmc3_bank $03, 21
    mmc3_bank $04, 22
    mmc3_bank $05, 63
    expect_ppu $0000, 8, 6, "R0 AT 0000"
    expect_ppu $07FF, 9, 6, "R0+1 AT 0400"
    expect_ppu $0800, 11, 7, "R1 AT 0800"
    expect_ppu $0C00, 12, 7, "R1+1 AT 0C00"
    expect_ppu $1000, 20, 8, "R2 AT 1000"
    expect_ppu $1400, 21, 8, "R3 AT 1400"
    expect_ppu $1800, 22, 8, "R4 AT 1800"
    expect_ppu $1FFF, 63, 8, "R5 AT 1C00"

    ; Inverted: the 2 KB registers move to $1000, the 1 KB ones to $0000.
    mmc3_bank $80, 40
    mmc3_bank $81, 42
    mmc3_bank $82, 1
    mmc3_bank $83, 2
    mmc3_bank $84, 3
    mmc3_bank $85, 4
    expect_ppu $1000, 40, 9, "INVERTED R0 AT 1000"
    expect_ppu $1400, 41, 9, "INVERTED R0+1 AT 1400"
    expect_ppu $1800, 42, 9, "INVERTED R1 AT 1800"
    expect_ppu $0000, 1, 10, "INVERTED R2 AT 0000"
    expect_ppu $0C00, 4, 10, "INVERTED R5 AT 0C00"

    ; Changing the inversion bit alone moves nothing.
    lda #$02
    sta $8000
    expect_ppu $0000, 1, 11, "SELECT ALONE MOVED 0000"
    expect_ppu $1000, 40, 11, "SELECT ALONE MOVED 1000"

    ; Arrangement register: 1 pairs $2000 with $2400, 0 with $2800.
    lda #1
    sta $A000
    lda #$00
    ppu_poke $2800
    lda #$33
    ppu_poke $2000
    expect_ppu $2400, $33, 12, "A000=1: 2400 NOT 2000"
    lda #0
    sta $A000
    lda #$44
    ppu_poke $2000
    expect_ppu $2800, $44, 13, "A000=0: 2800 NOT 2000"

    result_pass

nmi:
irq:
    rti

vectors
