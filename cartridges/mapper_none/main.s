; The board without registers with a 16 KB PRG-ROM: $C000-$FFFF repeat
; $8000-$BFFF, writes to ROM change nothing, pattern memory is the 8 KB of
; CHR-ROM, and the header's vertical mirroring pairs $2000 with $2800.
.include "cartridge.inc"

ines_header 1, 1, 0, 1

prg_tags 2
chr_tags 8

.segment "CODE"
reset:
    cartridge_start

    ; The two 8 KB units and their mirrors.
    expect_byte $8000, 0, 2, "8000 NOT UNIT 0"
    expect_byte $A000, 1, 3, "A000 NOT UNIT 1"
    expect_byte $C000, 0, 4, "C000 DOES NOT MIRROR 8000"
    expect_byte $E000, 1, 5, "E000 DOES NOT MIRROR A000"
    lda $FFFC
    cmp $BFFC
    beq vectors_ok
    result_fail 6, "BFFC DIFFERS FROM FFFC"
vectors_ok:

    ; Writes go nowhere.
    lda #$5A
    sta $8000
    sta $C000
    expect_byte $8000, 0, 7, "WRITE CHANGED 8000"
    expect_byte $C000, 0, 8, "WRITE CHANGED C000"

    ; Pattern memory: every kilobyte of the CHR-ROM in place.
    expect_ppu $0000, 0, 9, "PPU 0000 NOT CHR KB 0"
    expect_ppu $0BFF, 2, 10, "PPU 0BFF NOT CHR KB 2"
    expect_ppu $1C10, 7, 11, "PPU 1C10 NOT CHR KB 7"

    ; Vertical mirroring: $2800 shows $2000, $2400 does not.
    lda #$00
    ppu_poke $2400
    lda #$C3
    ppu_poke $2000
    expect_ppu $2800, $C3, 12, "2800 DOES NOT MIRROR 2000"
    expect_ppu $2400, $00, 13, "2400 MIRRORS 2000"

    result_pass

nmi:
irq:
    rti

vectors
