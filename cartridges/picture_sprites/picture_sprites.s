; Sprites of 8 x 8 over a background, in one still picture: the four flips,
; the four palettes, sprites behind the background, overlapping sprites (the
; lower number wins), nine sprites on one line (the ninth is not drawn), a
; sprite cut off at the right edge, attribute bits 2-4 (no effect), the
; leftmost 8 columns hidden for both background and sprites, and sprites
; parked at the bottom edge (Y 232-239), which the PPU selects on line 239
; for a line it never shows: none of them may appear on line 0.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 0, 1          ; vertical arrangement

OAM_PAGE = $0200
src = $00

.segment "CODE"

; Sprites from $1000, background from $0000; both shown, neither in the
; leftmost 8 columns.
    still_sprite_picture $08, $18

; Y, tile, attributes, X. A sprite is drawn from line Y + 1.
sprites:
    .byte 20, 2, $00, 40        ; 0-3: the arrow, plain, flipped H, V, both
    .byte 20, 2, $40, 60
    .byte 20, 2, $80, 80
    .byte 20, 2, $C0, 100
    .byte 20, 3, $01, 120       ; 4-7: the "F" in palettes 1, 2, 3, 0
    .byte 20, 3, $42, 140
    .byte 20, 3, $83, 160
    .byte 20, 3, $C0, 180
    .byte 20, 4, $00, 200       ; 8: ninth on its lines, not drawn
    .byte 40, 1, $20, 30        ; 9: solid, behind the background
    .byte 40, 4, $01, 34        ; 10: hollow square, in front, under sprite 9
    .byte 40, 1, $00, 4         ; 11: half in the hidden left columns
    .byte 60, 5, $02, 252       ; 12: only 4 columns on screen
    .byte 60, 3, $1F, 100       ; 13: attribute bits 2-4 set
    .byte 80, 1, $20, 120       ; 14: behind the background
    .byte 80, 4, $00, 124       ; 15: in front, overlapping 14
    .byte 100, 2, $00, 20       ; 16-23: eight on lines 101-108
    .byte 100, 3, $40, 36
    .byte 100, 5, $01, 52
    .byte 100, 2, $82, 68
    .byte 100, 3, $03, 84
    .byte 100, 5, $C1, 100
    .byte 100, 4, $02, 116
    .byte 100, 1, $23, 132
    .byte 100, 2, $00, 148      ; 24: ninth on lines 101-108
    .byte 104, 3, $00, 164      ; 25: crowded out on lines 105-108 only
    .byte 0, 5, $00, 200        ; 26: from line 1
    .byte 231, 3, $01, 200      ; 27: on the last 8 lines
    .byte 150, 4, $00, 250      ; 28: cut off, hollow square
    .byte 150, 1, $21, 90       ; 29-30: behind the background, overlapping
    .byte 150, 2, $22, 94
    .byte 232, 1, $00, 16       ; 31-38: parked at the bottom edge, solid, so
    .byte 233, 1, $01, 36       ; that any row of theirs drawn on line 0
    .byte 234, 1, $02, 56       ; shows; 38 (Y 239) is on no visible line
    .byte 235, 1, $03, 76
    .byte 236, 1, $00, 96
    .byte 237, 1, $01, 116
    .byte 238, 1, $02, 136
    .byte 239, 1, $03, 156
sprites_end:

; A checkerboard of 4 x 4 tile blocks: blank, or tiles 1-5 (column + row)
; mod 5 + 1, so that sprites pass over opaque, partly opaque and
; transparent background.
    picture_nametable nametable0, {(((i .mod 32) / 4 + (i / 32) / 4) .mod 2) * (((i .mod 32) + (i / 32)) .mod 5 + 1)}, 37, 11

vectors
