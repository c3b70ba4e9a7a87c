; The reset as this console's CPU takes it: it loads the program counter from
; the reset vector and changes nothing else. A, X, Y, S and P keep the values
; they had, and memory is untouched.
;
; The first run sets known registers, asks to be reset through the $6000
; protocol (status $81) and waits. The second run, recognised by a marker
; left in work RAM, checks what the registers held when the reset came. (Were
; work RAM cleared, the program would ask for a reset again and never report.)
;
; Each check reports its own status code and text through the $6000 protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

saved_a = $20
saved_x = $21
saved_y = $22
saved_s = $23
marker  = $0200         ; $C5 once the first run has asked for the reset

KEPT_A = $5A
KEPT_X = $A5
KEPT_Y = $3C
KEPT_S = $80
KEPT_P = $C7            ; N V I Z C (I stays set: no interrupt is wanted)

.segment "CODE"

reset:
    ; Record the registers before anything changes them. PHP stores P at
    ; $0100 + S; the stores leave the flags alone.
    php
    sta saved_a
    stx saved_x
    sty saved_y
    tsx
    stx saved_s
    sei
    cld
    lda marker
    cmp #$C5
    beq second_run

    ; First run.
    ldx #$FF
    txs
    lda #$40
    sta APUFRAME    ; no frame interrupt
    lda #$00
    sta PPUCTRL
    result_begin
    jsr wait_frames
    lda #$C5
    sta marker
    lda #$81
    sta RESULT_STATUS       ; asks for a reset
    ldx #KEPT_S
    txs
    lda #KEPT_P
    pha
    lda #KEPT_A
    ldx #KEPT_X
    ldy #KEPT_Y
    plp                     ; S back to KEPT_S, P = KEPT_P
wait_for_reset:
    jmp wait_for_reset

second_run:
    lda #$80
    sta RESULT_STATUS       ; running again
    lda #$00
    sta marker
    lda saved_a
    expect_a KEPT_A, 1, "Reset must leave A unchanged"
    lda saved_x
    expect_a KEPT_X, 2, "Reset must leave X unchanged"
    lda saved_y
    expect_a KEPT_Y, 3, "Reset must leave Y unchanged"
    lda saved_s
    expect_a KEPT_S - 1, 4, "Reset must leave S unchanged"
    lda $0100 + KEPT_S
    expect_a KEPT_P | $30, 5, "Reset must leave P unchanged"
    jsr wait_frames
    result_pass

    result_wait_frames_routine

    result_unexpected_interrupts

vectors
