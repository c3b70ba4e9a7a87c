; Passes once it has counted 120 frames since power-up. Run for fewer frames
; than that from power-up it reports nothing; resumed from a state saved part
; way, it passes early, which shows that the state carried the count, the
; stack and the program's place.

.include "cartridge.inc"

    ines_header 2, 1, 0, 0

.segment "ZEROPAGE"
count: .res 1

.segment "CODE"
reset:
    start_cpu
    lda #0
    sta PPUCTRL
    sta count
    result_begin
    lda #$80
    sta PPUCTRL                     ; NMI once a frame
wait:
    lda count
    cmp #120
    bcc wait
    lda #0
    sta PPUCTRL
    result_pass

nmi:
    inc count
    rti

irq:
    rti

vectors
