; A busy little program for save-state round trips. Every frame it scrolls
; the background, moves 64 sprites, rewrites a nametable byte, plays all four
; sound channels with changing settings, and its main loop stirs work RAM and
; battery RAM with a pseudo-random sequence, so that the CPU, memory, PPU and
; APU are all somewhere else at every frame boundary.

.include "cartridge.inc"

    ines_header 2, 1, 0, 1          ; NROM, 32 KB PRG, 8 KB CHR, vertical

.segment "ZEROPAGE"
frame:    .res 1
rng_state:     .res 2
scroll_x: .res 1
scroll_y: .res 1
stir:     .res 1

OAM_PAGE = $0200

.segment "CODE"

random_routine rng_state

reset:
    start_cpu
    lda #0
    sta PPUCTRL
    sta PPUMASK
    sta frame
    sta scroll_x
    sta scroll_y
    sta stir
    lda #$A5
    sta rng_state
    lda #$5A
    sta rng_state+1

    wait_for_ppu

    ; Palette: 32 entries.
    load_palette palette

    ; Both nametables (2 KB) with a pattern of tile numbers.
    ppu_at $2000
    ldy #8
    lda #1
fill_page:
    ldx #0
:   sta PPUDATA
    clc
    adc #7
    inx
    bne :-
    adc #3
    dey
    bne fill_page

    ; 64 sprites: Y = 3i + 16, tile i, attributes i & 3, X = 4i.
    ldx #0
    ldy #0
:   tya
    asl a
    adc #16
    sta tmp_y
    tya
    adc tmp_y
    sta OAM_PAGE, x
    tya
    sta OAM_PAGE+1, x
    and #3
    sta OAM_PAGE+2, x
    tya
    asl a
    asl a
    sta OAM_PAGE+3, x
    inx
    inx
    inx
    inx
    iny
    cpy #64
    bne :-

    lda #$0F
    sta APUSTATUS                   ; all four channels on

    lda #$80
    sta PPUCTRL                     ; NMI on; the first frame turns rendering on
    cli

main:
    jsr next_random
    ldx stir
    sta $0400, x
    eor $0500, x
    sta $0500, x
    sta $6100, x                    ; battery RAM, clear of the result area
    inc stir
    jmp main

nmi:
    pha
    txa
    pha
    tya
    pha

    lda #>OAM_PAGE
    sta OAMDMA

    ; One nametable byte from the sequence.
    lda rng_state+1
    and #$07
    ora #$20
    sta PPUADDR
    lda rng_state
    sta PPUADDR
    lda frame
    sta PPUDATA

    ; Move the sprites: X of every fourth one by the frame's low bits.
    ldx #3
:   lda OAM_PAGE, x
    clc
    adc #1
    sta OAM_PAGE, x
    txa
    clc
    adc #16
    tax
    cmp #3
    bne :-

    ; Scroll: X every frame, Y every other frame, wrapping below 240.
    inc scroll_x
    lda frame
    and #1
    beq :+
    inc scroll_y
    lda scroll_y
    cmp #240
    bcc :+
    lda #0
    sta scroll_y
:   lda scroll_x
    sta PPUSCROLL
    lda scroll_y
    sta PPUSCROLL
    lda frame
    lsr a
    lsr a
    lsr a
    lsr a
    and #1                          ; the nametable changes every 16 frames
    ora #$90                        ; NMI on, background patterns at $1000
    sta PPUCTRL
    lda #$1E
    sta PPUMASK

    ; Sound: every channel gets new settings from the frame number.
    lda frame
    and #$3F
    ora #$80
    sta $4000
    lda frame
    sta $4002
    and #$07
    ora #$08
    sta $4003
    lda frame
    eor #$FF
    and #$0F
    ora #$40
    sta $4004
    lda frame
    asl a
    sta $4006
    lda #$10
    sta $4007
    lda #$C0
    sta $4008
    lda frame
    sta $400A
    lda #$08
    sta $400B
    lda frame
    and #$0F
    sta $400C
    lda frame
    and #$0F
    sta $400E
    lda #$08
    sta $400F

    inc frame
    pla
    tay
    pla
    tax
    pla
    rti

irq:
    rti

palette:
    .byte $0F, $01, $11, $21, $0F, $06, $16, $26, $0F, $09, $19, $29, $0F, $0C, $1C, $2C
    .byte $0F, $14, $24, $34, $0F, $17, $27, $37, $0F, $1A, $2A, $3A, $0F, $12, $22, $32

.segment "BSS"
tmp_y: .res 1

vectors

; Tiles whose rows differ from tile to tile and from row to row.
.segment "CHARS"
.repeat 512, tile
  .repeat 16, row
    .byte <((tile * 37) ^ (row * 29) ^ (tile >> 3))
  .endrepeat
.endrepeat
