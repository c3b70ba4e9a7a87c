; The MMC3 scanline counter across frame boundaries. The interrupt handler
; marks its line by moving the background (two $2006 writes) and sets the
; counter's next period from a pseudo-random sequence, 16-127 lines. With 241
; counted lines per frame, the counter is usually part way through a period
; when a frame ends, so a state saved there must bring back the counter, its
; latch and the last pattern address for the next interrupt to land on the
; same line.

.include "cartridge.inc"

    ines_header 2, 1, 4, 0          ; MMC3, 32 KB PRG, 8 KB CHR, horizontal
    fixed_prg $2000                 ; the code in the last 8 KB, fixed at $E000

.segment "ZEROPAGE"
frame:     .res 1
rng_state:      .res 2
irq_count: .res 1
stir:      .res 1

OAM_PAGE = $0200

.segment "CODE"

random_routine rng_state

reset:
    start_cpu
    lda #0
    sta PPUCTRL
    sta PPUMASK
    sta frame
    sta irq_count
    sta stir
    lda #$C3
    sta rng_state
    lda #$3C
    sta rng_state+1

    ; CHR: 2 KB banks 0 and 2 at $0000, 1 KB banks 4-7 at $1000 (the
    ; identity arrangement); PRG banks 0 and 1 at $8000 and $A000.
    ldx #0
:   stx $8000
    lda chr_banks, x
    sta $8001
    inx
    cpx #8
    bne :-
    lda #0
    sta $A000                       ; vertical mirroring

    wait_for_ppu

    load_palette palette

    ppu_at $2000
    ldy #8
    lda #1
fill_page:
    ldx #0
:   sta PPUDATA
    clc
    adc #5
    inx
    bne :-
    adc #9
    dey
    bne fill_page

    ; Sprites off screen, except that the sprite patterns at $1000 are still
    ; fetched on every line: that is the rising A12 the counter counts.
    ldx #0
    lda #$F8
:   sta OAM_PAGE, x
    inx
    bne :-

    lda #40
    sta $C000                       ; latch
    sta $C001                       ; reload at the next counted line
    sta $E001                       ; interrupts on

    lda #$88
    sta PPUCTRL                     ; NMI on, background $0000, sprites $1000
    cli

main:
    jsr next_random
    ldx stir
    sta $0400, x
    inc stir
    jmp main

nmi:
    pha
    txa
    pha
    lda #>OAM_PAGE
    sta OAMDMA
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda #$88
    sta PPUCTRL
    lda #$1E
    sta PPUMASK
    inc frame
    pla
    tax
    pla
    rti

irq:
    pha
    txa
    pha
    sta $E000                       ; acknowledge
    ; Jump the background to another row and column of a nametable.
    lda irq_count
    and #$03
    ora #$20
    sta PPUADDR
    lda rng_state
    sta PPUADDR
    jsr next_random
    and #$7F
    ora #$10
    sta $C000
    sta $C001
    sta $E001
    inc irq_count
    ldx irq_count
    lda rng_state
    sta $0600, x                    ; a log of the periods, for the test to read
    pla
    tax
    pla
    rti

chr_banks:
    .byte 0, 2, 4, 5, 6, 7, 0, 1

palette:
    .byte $0F, $02, $12, $22, $0F, $05, $15, $25, $0F, $08, $18, $28, $0F, $0B, $1B, $2B
    .byte $0F, $14, $24, $34, $0F, $17, $27, $37, $0F, $1A, $2A, $3A, $0F, $12, $22, $32

vectors

.segment "CHARS"
.repeat 512, tile
  .repeat 16, row
    .byte <((tile * 53) ^ (row * 17) ^ (tile >> 2))
  .endrepeat
.endrepeat
