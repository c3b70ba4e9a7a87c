; An MMC3 program whose background patterns come from $1000 for part of each
; frame, so that PPU A12 rises at a background fetch in the middle of a
; line's pixels (the other cartridges take the background from $0000, and
; A12 rises only in the sprite stage). It reports no result: the fast paths'
; differential test runs it, and its pictures, sound and states must match
; the exact model's.
;
; The counter's latch is 0, so every rise requests the interrupt. The main
; loop switches the background to $1000 after a delay that changes every
; turn and waits on a byte of RAM; the interrupt handler switches it back to
; $0000 and ends the wait. The vertical-blank handler leaves A12 low with a
; pattern read, and moves the scroll and changes the mask from frame to
; frame.

.include "cartridge.inc"

ines_header 2, 1, 4, 0          ; MMC3, 32 KB PRG, 8 KB CHR
fixed_prg $2000                 ; the code in the last 8 KB, fixed at $E000

frames = $00
turns  = $01
done   = $02

.segment "CODE"

reset:
    sei
    ppu_at $3F00
    ldx #0
@palette:
    lda palette, x
    sta PPUDATA
    inx
    cpx #4
    bne @palette
    lda #0
    sta $C000                   ; latch 0
    sta $C001                   ; reload
    sta $E001                   ; requests on
    lda #$80                    ; NMI on
    sta PPUCTRL
    cli
turn:
    lda #0
    sta done
    inc turns
    lda turns
    and #7
    tax
@delay:                         ; 1 to 8 times round
    dex
    bpl @delay
    lda #$90                    ; background from $1000
    sta PPUCTRL
@wait:
    lda done
    beq @wait
    jmp turn

nmi:
    pha
    ppu_at $0000
    lda PPUDATA                 ; a pattern read: A12 low
    inc frames
    lda frames
    sta PPUSCROLL
    sta PPUSCROLL
    and #$16                    ; sprites and the left columns by the frame
    ora #$08
    sta PPUMASK
    pla
    rti

irq:
    pha
    lda #$80                    ; background from $0000
    sta PPUCTRL
    sta done
    sta $E000                   ; requests off and on
    sta $E001
    pla
    rti

palette:
    .byte $0F, $16, $2A, $12

vectors

; Patterns of no meaning; tile 0 differs between the two tables.
.segment "CHARS"
.repeat 8192, i
    .byte <(((i * 37) .bitxor (i >> 5)) .bitxor ((i >= $1000) * $5A))
.endrepeat
