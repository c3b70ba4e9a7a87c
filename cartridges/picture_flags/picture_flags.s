; The sprite-zero hit and sprite overflow flags, measured by the program
; itself and reported through the $6000 result protocol.
;
; The background is solid (tile 1) except for tile columns 16-23, which are
; blank. Each case puts sprites in place during the vertical blank, lets one
; whole frame be drawn and then reads $2002 in the next vertical blank, when
; the flags of that frame are still up (they fall at the end of the vertical
; blank, not when $2002 is read).
;
; The two timing cases count loop iterations from the end of the vertical
; blank (seen as the flag falling) until the flag rises. The hit of a sprite
; with Y = 99 comes on line 100, 264 dots into the line; the overflow of nine
; sprites with Y = 149 comes while line 149 selects the sprites of line 150,
; 320 dots into that line. The windows below allow half a line either way.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 0, 1

OAM_PAGE = $0200
nmi_count = $00
count     = $01                 ; 2 bytes
window    = $03                 ; 2 bytes: the lowest count accepted
width     = $05
case_mask = $06

; (7502 + 341 * 100 + 264 - 7161) / 3 CPU cycles from the end of the vertical
; blank, at 14 cycles a loop (7 more each 256), less the loop entry.
HIT_LOW       = 821
; (7502 + 341 * 149 + 320 - 7161) / 3 cycles at 16 cycles a loop.
OVERFLOW_LOW  = 1067
WINDOW_WIDTH  = 7

HIT      = $40              ; the flags in $2002
OVERFLOW = $20

; Runs case `case` and stops with `code` and `text` unless the frame left
; `flag` raised (want = raised) or clear (want = clear).
.macro flag_case case, flag, want, code, text
    ldx #case - cases
    jsr run_case
    and #flag
    .if .xmatch(want, raised)
        bne :+
    .else
        beq :+
    .endif
    result_fail code, text
:
.endmacro

.segment "CODE"

reset:
    cartridge_start

    ; Nametable 0: tile 1 everywhere but columns 16-23; palette 0 attributes.
    ppu_at $2000
    ldy #30
@row:
    ldx #0
@column:
    lda #1
    cpx #16
    bcc @store
    cpx #24
    bcs @store
    lda #0
@store:
    sta PPUDATA
    inx
    cpx #32
    bne @column
    dey
    bne @row
    lda #0
    ldx #64
@attributes:
    sta PPUDATA
    dex
    bne @attributes
    ppu_at $3F00
    lda #$0F
    sta PPUDATA
    lda #$30
    sta PPUDATA

    lda #0
    sta nmi_count
    bit PPUSTATUS
    wait_vblank
    lda #$88                    ; NMI on, sprites from $1000
    sta PPUCTRL
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL

    ; Sprite zero over the opaque background raises the hit ...
    flag_case case_front, HIT, raised, 2, "SPRITE 0 OVER BACKGROUND: NO HIT"
    ; ... and the flag stays up through $2002 reads until the vertical
    ; blank ends.
    lda PPUSTATUS
    lda PPUSTATUS
    and #$40
    bne :+
    result_fail 3, "HIT CLEARED BY READING $2002"
:
    ; The hit rises on line 100.
    jsr wait_nmi
@hit_clear:
    bit PPUSTATUS
    bvs @hit_clear
    lda #0
    sta count
    sta count + 1
@hit_loop:
    bit PPUSTATUS
    bvs @hit_seen
    inc count
    bne @hit_loop
    inc count + 1
    jmp @hit_loop
@hit_seen:
    lda #<HIT_LOW
    sta window
    lda #>HIT_LOW
    sta window + 1
    jsr count_in_window
    bcs :+
    result_fail 4, "HIT NOT ON LINE 100"
:
    ; No hit over transparent background, at column 255, on the last line,
    ; or in the hidden left columns.
    flag_case case_transparent, HIT, clear, 5, "HIT OVER TRANSPARENT BACKGROUND"
    flag_case case_column_255, HIT, clear, 6, "HIT AT COLUMN 255"
    flag_case case_column_254, HIT, raised, 7, "NO HIT AT COLUMN 254"
    flag_case case_last_line, HIT, clear, 8, "HIT ON LINE 239"
    flag_case case_left_hidden, HIT, clear, 9, "HIT IN HIDDEN LEFT COLUMNS"
    flag_case case_left_shown, HIT, raised, 10, "NO HIT IN SHOWN LEFT COLUMNS"
    ; Eight sprites on a line: no overflow. Nine: overflow, and it rises
    ; while line 149 is being finished.
    flag_case case_eight, OVERFLOW, clear, 11, "OVERFLOW WITH EIGHT SPRITES"
    flag_case case_nine, OVERFLOW, raised, 12, "NO OVERFLOW WITH NINE SPRITES"
    jsr wait_nmi
@overflow_clear:
    lda PPUSTATUS
    and #$20
    bne @overflow_clear
    lda #0
    sta count
    sta count + 1
@overflow_loop:
    lda PPUSTATUS
    and #$20
    bne @overflow_seen
    inc count
    bne @overflow_loop
    inc count + 1
    jmp @overflow_loop
@overflow_seen:
    lda #<OVERFLOW_LOW
    sta window
    lda #>OVERFLOW_LOW
    sta window + 1
    jsr count_in_window
    bcs :+
    result_fail 13, "OVERFLOW NOT ON LINE 149"
:
    result_pass

; Waits for the next vertical-blank interrupt.
wait_nmi:
    wait_for_nmi
    rts

; Sets up case X (mask, sprite 0, how many more sprites on line 150) in the
; vertical blank, lets that frame be drawn, and returns $2002 as read in the
; following vertical blank.
run_case:
    jsr wait_nmi
    lda cases, x
    sta case_mask
    ldy #0
    lda #$F0
@hide:
    sta OAM_PAGE, y
    iny
    bne @hide
    lda cases + 1, x            ; sprite 0: Y, tile, attributes 0, X
    sta OAM_PAGE
    lda cases + 2, x
    sta OAM_PAGE + 1
    lda cases + 3, x
    sta OAM_PAGE + 3
    lda cases + 4, x            ; sprites 1.. on lines 150-157
    beq @dma
    tay
    ldx #4
@crowd:
    lda #149
    sta OAM_PAGE, x
    lda #1
    sta OAM_PAGE + 1, x
    txa
    sta OAM_PAGE + 3, x         ; X = 4n
    inx
    inx
    inx
    inx
    dey
    bne @crowd
@dma:
    send_oam OAM_PAGE
    lda case_mask
    sta PPUMASK
    jsr wait_nmi                ; the frame with this case has been drawn:
    lda PPUSTATUS               ; its flags, before the vertical blank ends
    rts

; Carry set when window <= count < window + WINDOW_WIDTH.
count_in_window:
    sec
    lda count
    sbc window
    tax
    lda count + 1
    sbc window + 1
    bcc @outside
    bne @outside
    cpx #WINDOW_WIDTH
    bcs @outside
    sec
    rts
@outside:
    clc
    rts

nmi:
    inc nmi_count
irq:
    rti

; mask, sprite 0 Y, tile, X, sprites on line 150 besides sprite 0.
; Tile 1 is solid. Tile 5 is two diagonals: its row 0 is opaque in columns 0
; and 7, its row 1 in columns 1 and 6. A sprite with Y = 238 shows row 0 on
; line 239 (and nothing on line 0 of the next frame, which shows no
; sprites); at X = 127 only its pixel at column 127 meets the opaque
; background.
cases:
case_front:       .byte $1E, 99, 1, 64, 0
case_transparent: .byte $1E, 99, 1, 136, 0
case_column_255:  .byte $1E, 99, 1, 255, 0
case_column_254:  .byte $1E, 99, 1, 254, 0
case_last_line:   .byte $1E, 238, 5, 127, 0
case_left_hidden: .byte $1A, 99, 1, 0, 0
case_left_shown:  .byte $1E, 99, 1, 0, 0
case_eight:       .byte $1E, $F0, 1, 0, 8
case_nine:        .byte $1E, $F0, 1, 0, 9

vectors
