; The sprite DMA's stall, measured against the frame: a write to $4014
; holds the CPU for 513 cycles, and the instruction after it starts that
; much later.
;
; With rendering off every frame lasts 89342 PPU dots, 29780 2/3 CPU cycles.
; Each of two frames starts at an NMI, runs COPIES writes (4 cycles each),
; then counts turns of a loop until the next NMI:
;
;   loop:   INC count       5
;           BNE :+          3 (2 when the low byte wraps)
;           INC count+1     5 (once every 256 turns)
;       :   BIT nmi_flag    3
;           BPL loop        3
;
; 14 cycles a turn, 18 once every 256: 3588 cycles per 256 turns. The first
; frame's writes go to work RAM, the second's to $4014; everything else is
; the same, so the second frame counts COPIES x 513 cycles fewer, that is
; COPIES x 513 x 256 / 3588 turns. The window allows half a cycle per copy
; either way: a stall of 512 or 514 cycles misses it by 3 turns or more.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

COPIES = 52                     ; 52 x 517 cycles: most of a frame

OAM_PAGE  = $0200
nmi_flag  = $20                 ; bit 7 set by the NMI handler
count     = $21                 ; 2 bytes
reference = $23                 ; 2 bytes: the count of the first frame
fewer     = $25                 ; 2 bytes: how many fewer the second counted

; Turns the second frame must count fewer, times two (for the rounding).
TWICE_LOW  = (2 * COPIES * 513 - COPIES) * 256 / 3588
TWICE_HIGH = (2 * COPIES * 513 + COPIES) * 256 / 3588
FEWER_LOW  = (TWICE_LOW + 1) / 2
FEWER_HIGH = TWICE_HIGH / 2

; One frame: waits for an NMI, makes COPIES writes to `target`, then counts
; turns until the next NMI.
.macro timed_frame target
    .local loop, no_carry
    jsr sync
    .repeat COPIES
        sta target
    .endrepeat
loop:
    inc count
    bne no_carry
    inc count + 1
no_carry:
    bit nmi_flag
    bpl loop
.endmacro

.segment "CODE"

reset:
    start_up_and_wait_for_ppu
    result_begin
    hide_sprites OAM_PAGE
    lda #$80                    ; NMI on, rendering stays off
    sta PPUCTRL
    lda #>OAM_PAGE              ; the page both frames write

    timed_frame $0700
    ldx count
    stx reference
    ldx count + 1
    stx reference + 1

    timed_frame OAMDMA
    lda reference
    sec
    sbc count
    sta fewer
    lda reference + 1
    sbc count + 1
    sta fewer + 1

    lda fewer                   ; fewer < FEWER_LOW: the stall is too short
    cmp #<FEWER_LOW
    lda fewer + 1
    sbc #>FEWER_LOW
    bcs long_enough
    result_fail 2, "SPRITE DMA STALL TOO SHORT"
long_enough:
    lda #<FEWER_HIGH            ; FEWER_HIGH < fewer: too long
    cmp fewer
    lda #>FEWER_HIGH
    sbc fewer + 1
    bcs short_enough
    result_fail 3, "SPRITE DMA STALL TOO LONG"
short_enough:
    result_pass

; Waits for the next NMI and clears the count. A is kept.
sync:
    ldx #0
    stx nmi_flag
@wait:
    bit nmi_flag
    bpl @wait
    stx nmi_flag
    stx count
    stx count + 1
    rts

nmi:
    pha
    lda #$80
    sta nmi_flag
    pla
irq:
    rti

vectors
