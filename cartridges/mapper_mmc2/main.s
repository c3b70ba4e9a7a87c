; MMC2 with 128 KB of PRG-ROM and 128 KB of CHR-ROM: 8 KB PRG switching at
; $8000 with the last 24 KB fixed, and the latch-switched CHR banks.
.include "nes.inc"
.include "header.inc"
.include "result.inc"
.include "bank_check.inc"
.include "latch_checks.inc"

ines_header 8, 16, 9, 0

prg_tags 16
chr_tags 128

.segment "CODE"
reset:
    cartridge_start

    expect_byte $8000, 0, 2, "POWER-UP 8000 NOT UNIT 0"
    expect_byte $A000, 13, 3, "A000 NOT THIRD-LAST UNIT"
    expect_byte $C000, 14, 3, "C000 NOT SECOND-LAST UNIT"

    lda #$12                ; bits 0-3: 8 KB bank 2
    sta $A000
    expect_byte $8000, 2, 4, "A000=12: 8000 NOT UNIT 2"
    lda #9
    sta $AFFF
    expect_byte $8000, 9, 5, "AFFF=9: 8000 NOT UNIT 9"
    expect_byte $A000, 13, 5, "FIXED PART MOVED"
    lda #3
    sta $8000               ; $8000-$9FFF: no register
    sta $9000
    expect_byte $8000, 9, 6, "WRITE TO 8000 SWITCHED"

    latch_board_checks
    result_pass

nmi:
irq:
    rti

.segment "VECTORS"
    .addr nmi, reset, irq
