; An MMC2 picture whose CHR bank changes in the middle of the frame with no
; CPU write. The background is tile 1 everywhere, drawn red through the $FD
; bank and blue through the $FE bank; the latch tiles $FD and $FE are solid
; green through the $FD bank and green only in their left half through the
; $FE bank, so the picture also shows which bank each latch tile was read
; through.
;
; The latch trips on the fetch of a $FD or $FE tile; that fetch still reads
; the old bank, the next tile the new one. After each line the PPU also
; fetches the two tiles one screen width to the right (columns 0 and 1 of
; the nametable at $2400, same row), only for these boards, so that a latch
; tile there acts before the next line. Top to bottom:
;   rows 0-7     red (the frame starts in the $FD state the last one left)
;   $2400 row 8, column 1: $FE, fetched after each line: blue from row 8's
;                second pixel row
;   row 14, column 16: $FD: red from column 17 of its first pixel row on
;   row 20, column 8: $FE: blue from column 9 of its first pixel row on
;   $2400 row 26, column 0: $FD: red from row 26's second pixel row, and
;                the $FD state for the next frame
; The tests compare a screenshot against that picture.
.include "cartridge.inc"

ines_header 8, 2, 9, 1          ; vertical mirroring: $2400 is its own screen

prg_tags 16

; Tile row data: 8 bytes of plane 0, then 8 of plane 1.
.macro solid_tile plane0, plane1
    .res 8, plane0
    .res 8, plane1
.endmacro

; A 4 KB pattern bank: tile 1 in colour `tile1_colour` (1-3), tiles $FD and
; $FE in colour 2 where `latch_columns` has a bit set, everything else
; colour 0.
.macro pattern_bank tile1_colour, latch_columns
    solid_tile 0, 0
    solid_tile (tile1_colour & 1) * $FF, (tile1_colour >> 1) * $FF
    .res 16 * ($FD - 2), $00
    solid_tile $00, latch_columns
    solid_tile $00, latch_columns
    solid_tile 0, 0
.endmacro

.segment "CHARS"
    pattern_bank 1, $FF         ; 4 KB bank 0: the $FD bank, tile 1 red
    pattern_bank 3, $F0         ; 4 KB bank 1: the $FE bank, tile 1 blue
    .res 8192, $00              ; banks 2 and 3: sprite half, unused

.segment "CODE"
reset:
    cartridge_start

    ; Low half: $FD state shows bank 0, $FE state bank 1.
    lda #0
    sta $B000
    lda #1
    sta $C000
    lda #2
    sta $D000
    lda #3
    sta $E000

    ; Palette 0: black backdrop, red, green, blue.
    bit PPUSTATUS
    ppu_at $3F00
    lda #$0F
    sta PPUDATA
    lda #$16
    sta PPUDATA
    lda #$2A
    sta PPUDATA
    lda #$12
    sta PPUDATA

    ; Both nametables: tile 1 everywhere, attributes 0.
    bit PPUSTATUS
    ppu_at $2000
    ldy #8                      ; 8 pages: $2000-$27FF
fill_page:
    ldx #0
fill:
    lda #1
    sta PPUDATA
    inx
    bne fill
    dey
    bne fill_page
    ; Attribute tables back to 0.
    lda #$23
    jsr clear_attributes
    lda #$27
    jsr clear_attributes

    ; The latch tiles.
    lda #$FE
    ppu_poke $2400 + 8 * 32 + 1
    lda #$FD
    ppu_poke $2000 + 14 * 32 + 16
    lda #$FE
    ppu_poke $2000 + 20 * 32 + 8
    lda #$FD
    ppu_poke $2400 + 26 * 32 + 0

    ; Scroll 0, background from $0000, background on including the left column.
    bit PPUSTATUS
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    sta PPUCTRL
    bit PPUSTATUS
    wait_vblank
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda #$0A
    sta PPUMASK

    ; Running: the picture is the result. Report a pass so that a run with
    ; --blargg also ends cleanly.
    result_pass

; Zeroes the 64 attribute bytes at $xxC0 of the page in A.
clear_attributes:
    bit PPUSTATUS
    sta PPUADDR
    lda #$C0
    sta PPUADDR
    lda #0
    ldx #64
clear:
    sta PPUDATA
    dex
    bne clear
    rts

nmi:
irq:
    rti

vectors
