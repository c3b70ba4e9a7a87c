; MMC4 with 128 KB of PRG-ROM and 128 KB of CHR-ROM: 16 KB PRG switching at
; $8000 with the last 16 KB fixed, and the latch-switched CHR banks.
.include "nes.inc"
.include "header.inc"
.include "result.inc"
.include "bank_check.inc"
.include "latch_checks.inc"

ines_header 8, 16, 10, 0

prg_tags 16
chr_tags 128

.segment "CODE"
reset:
    cartridge_start

    expect_byte $8000, 0, 2, "POWER-UP 8000 NOT UNIT 0"
    expect_byte $C000, 14, 3, "C000 NOT SECOND-LAST UNIT"

    lda #3
    sta $A000
    expect_byte $8000, 6, 4, "A000=3: 8000 NOT UNIT 6"
    expect_byte $A000, 7, 4, "A000=3: A000 NOT UNIT 7"
    lda #$F5                ; bits 0-3: bank 5
    sta $AFFF
    expect_byte $8000, 10, 5, "AFFF=F5: 8000 NOT UNIT 10"
    expect_byte $C000, 14, 5, "FIXED PART MOVED"
    lda #1
    sta $9000
    expect_byte $8000, 10, 6, "WRITE TO 9000 SWITCHED"

    latch_board_checks
    result_pass

nmi:
irq:
    rti

.segment "VECTORS"
    .addr nmi, reset, irq
