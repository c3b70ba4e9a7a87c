; A scroll split made in the middle of the frame.
;
; The top of the picture shows nametable 0 unscrolled. Sprite 0 sits on an
; opaque background tile at line 100; the program waits for the sprite-zero
; hit there and then moves the scroll with the usual four writes: $2006 (the
; nametable) and $2005 (vertical position) in advance, since they only touch
; the latch, then $2005 (horizontal position) and $2006 (loads the address)
; right after the hit, inside the same line's horizontal blank. From line 101
; on the picture therefore shows nametable 2 from tile row 12, pixel row 6,
; scrolled right by 9 tiles and 3 pixels. The vertical-blank handler puts the
; scroll back to the top for the next frame.
;
; Horizontal arrangement: nametables 0/1 share one block, 2/3 the other.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 0, 0

OAM_PAGE = $0200
src = $00
nmi_count = $02

; Where the bottom part starts: nametable 2, tile row 12, pixel row 5
; (shown from the next line, once the end of line 100 has stepped to row 6),
; tile column 9, fine X 3.
SPLIT_NAMETABLE = $08           ; $2006 first write: nametable 2
SPLIT_Y         = 12 * 8 + 5    ; $2005 second write
SPLIT_X         = 9 * 8 + 3     ; $2005 first write
SPLIT_LOW       = ((12 & 7) << 5) | 9  ; $2006 second write

.segment "CODE"

reset:
    start_up_and_wait_for_ppu

    ; Palette.
    load_palette palette

    ; Nametable 0 at $2000, nametable 2 at $2800.
    lda #$20
    ldx #<nametable0
    ldy #>nametable0
    jsr load_nametable
    lda #$28
    ldx #<nametable2
    ldy #>nametable2
    jsr load_nametable

    ; Sprites: all hidden below the picture but sprite 0.
    hide_sprites OAM_PAGE
    send_sprites sprites, 4, OAM_PAGE

    wait_vblank
    jsr top_scroll
    lda #$1E
    sta PPUMASK
    wait_for_nmi

frame:
    ; The end of vertical blank clears the hit flag; the pre-render line then
    ; loads the latch into the address. Only after that may the latch be
    ; prepared for the split.
@wait_clear:
    bit PPUSTATUS
    bvs @wait_clear
    ldx #60
@delay:
    dex
    bne @delay
    bit PPUSTATUS               ; write toggle to the first write
    lda #SPLIT_NAMETABLE
    sta PPUADDR
    lda #SPLIT_Y
    sta PPUSCROLL
    ldx #SPLIT_X
    ldy #SPLIT_LOW
@wait_hit:
    bit PPUSTATUS
    bvc @wait_hit
    stx PPUSCROLL
    sty PPUADDR
    ; The vertical-blank handler restores the top of the picture.
    wait_for_nmi
    jmp frame

top_scroll:
    bit PPUSTATUS
    lda #$88                    ; NMI on, sprites from $1000, background from $0000
    sta PPUCTRL
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    rts

; Copies 1024 bytes from (Y:X) to the PPU at A * 256.
load_nametable:
    stx src
    sty src + 1
    sta PPUADDR
    lda #0
    sta PPUADDR
    ldx #4
    ldy #0
@copy:
    lda (src), y
    sta PPUDATA
    iny
    bne @copy
    inc src + 1
    dex
    bne @copy
    rts

nmi:
    pha
    jsr top_scroll
    inc nmi_count
    pla
irq:
    rti

    picture_palette palette

; Sprite 0: Y 99 (drawn from line 100), tile 1 (solid), palette 1, X 64.
sprites:
    .byte 99, 1, $01, 64

; Tile of column c, row r: (c + 2r) mod 6 in nametable 0, (3c + r + 1) mod 6
; in nametable 2. Attribute byte a: (37a + 11) mod 256 and (53a + 7) mod 256.
    picture_nametable nametable0, {((i .mod 32) + 2 * (i / 32)) .mod 6}, 37, 11
    picture_nametable nametable2, {(3 * (i .mod 32) + (i / 32) + 1) .mod 6}, 53, 7

vectors
