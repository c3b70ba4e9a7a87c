; Sprites of 8 x 16: bit 0 of the tile number picks the pattern table and
; the two halves come from an even tile and the odd one after it; vertical
; flip swaps the halves as well as the rows. The sprite-table bit of $2000 is
; set and must not matter. Nine tall sprites share some lines, and one ends
; on the picture's last line.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 0, 1          ; vertical arrangement

OAM_PAGE = $0200
src = $00

.segment "CODE"

; 8 x 16 sprites, background from $0000; both shown everywhere.
    still_sprite_picture $28, $1E

; Y, tile, attributes, X. A sprite is drawn from line Y + 1.
sprites:
    .byte 20, $02, $00, 20      ; solid 2 over solid 3, from $0000
    .byte 20, $02, $80, 36      ; flipped: solid 3 over solid 2
    .byte 20, $03, $01, 52      ; arrow over "F", from $1000
    .byte 20, $03, $41, 68
    .byte 20, $03, $82, 84
    .byte 20, $03, $C3, 100
    .byte 20, $05, $00, 116     ; hollow square over diagonals
    .byte 20, $05, $80, 132
    .byte 20, $04, $01, 148     ; the background's "F" and diagonals
    .byte 20, $04, $C2, 164
    .byte 60, $03, $20, 40      ; behind the background
    .byte 60, $05, $00, 44
    .byte 100, $03, $00, 20     ; 12-20: nine tall sprites on lines 101-116
    .byte 100, $05, $01, 40
    .byte 104, $04, $02, 60
    .byte 100, $02, $03, 80
    .byte 100, $03, $40, 100
    .byte 108, $05, $41, 120
    .byte 100, $04, $42, 140
    .byte 100, $02, $43, 160
    .byte 100, $03, $80, 180
    .byte 223, $05, $00, 200    ; lines 224-239
    .byte 150, $03, $02, 250    ; cut off at the right edge
sprites_end:

; A checkerboard of 4 x 4 tile blocks: blank, or tiles 1-5 (column + row)
; mod 5 + 1, so that sprites pass over opaque, partly opaque and
; transparent background.
    picture_nametable nametable0, {(((i .mod 32) / 4 + (i / 32) / 4) .mod 2) * (((i .mod 32) + (i / 32)) .mod 5 + 1)}, 37, 11

vectors
