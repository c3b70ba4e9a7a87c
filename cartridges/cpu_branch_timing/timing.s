; Instruction timing, measured against the frame.
;
; With rendering off every frame lasts 89342 PPU dots, 29780 2/3 CPU cycles,
; and the PPU requests one NMI per frame. Each case runs a loop between two
; NMIs and counts its iterations:
;
;   loop:   <body>          T cycles, the instructions under test
;           INC count       5
;           BNE :+          3 (2 when the low byte wraps)
;           INC count+1     5 (once every 256 iterations)
;       :   BIT nmi_flag    3
;           BPL loop        3
;
; so one iteration costs P = T + 14 cycles and a frame holds about
; 29780 / P of them, less the NMI handler and the set-up (under 100 cycles).
; A case passes when the count lies between the counts for P - 1/2 and
; P + 1/2 cycles: one cycle too many or too few per iteration moves the
; count by 29780 / P^2 (over 30 for P below 30), well outside the window.
;
; The loop's own instructions are measured by the first case (an empty body).
; Inside the body Z is set and N and V are clear (BIT of a zero byte); C is
; whatever the case sets before the loop.
;
; What is checked: a taken branch costs 3 cycles and an untaken one 2, also
; when the branch crosses into another page; indexed reads cost the same
; whether or not the address crosses a page; a set of instructions cost their
; fixed counts, undocumented opcodes included (one-byte no-ops here).

.include "cartridge.inc"

ines_header 2, 1, 0, 0

nmi_flag = $20      ; bit 7 set by the NMI handler
count    = $21      ; iterations (2 bytes)
low      = $23      ; the window (2 bytes each)
high     = $25
text_ptr = $27      ; failure text (2 bytes)
status   = $29
pointer  = $30      ; an indirect pointer for the bodies (2 bytes)

FRAME_CYCLES = 29780
OVERHEAD     = 100  ; NMI entry and handler, sync and set-up, at most

; Begins a case: waits for an NMI, clears the count and falls into the loop
; (the set-up between the macro and the body must be the same every time).
.macro timing_begin loop
    jsr sync
    jmp loop
loop:
.endmacro

; Ends a case whose body costs t cycles.
.macro timing_end loop, t, code, text
    .local message
    inc count
    bne :+
    inc count + 1
:   bit nmi_flag
    bpl loop
    lda #<((2 * (FRAME_CYCLES - OVERHEAD)) / (2 * (t + 14) + 1))
    sta low
    lda #>((2 * (FRAME_CYCLES - OVERHEAD)) / (2 * (t + 14) + 1))
    sta low + 1
    lda #<((2 * FRAME_CYCLES) / (2 * (t + 14) - 1) + 1)
    sta high
    lda #>((2 * FRAME_CYCLES) / (2 * (t + 14) - 1) + 1)
    sta high + 1
    lda #code
    ldx #<message
    ldy #>message
    jsr check_count
    .pushseg
    .segment "RODATA"
message:
    .byte text, 0
    .popseg
.endmacro

.segment "CODE"

reset:
    sei
    cld
    ldx #$FF
    txs
    lda #$40
    sta APUFRAME    ; no frame interrupt
    lda #$00
    sta PPUMASK     ; rendering off: every frame is 89342 dots
    result_begin
    lda #$80
    sta PPUCTRL     ; NMI on

; ------------------------------------------------------ the loop on its own
    timing_begin t_empty
    timing_end t_empty, 0, 1, "INC zp, BNE, BIT zp, BPL: 14 cycles"

; ---------------------------------------------------------------- branches
    timing_begin t_nop
    nop
    timing_end t_nop, 2, 2, "NOP must cost 2 cycles"

    timing_begin t_beq
    beq :+
:   timing_end t_beq, 3, 3, "Taken BEQ must cost 3 cycles"

    timing_begin t_bne
    bne :+
:   timing_end t_bne, 2, 4, "Untaken BNE must cost 2 cycles"

    timing_begin t_bpl
    bpl :+
:   timing_end t_bpl, 3, 5, "Taken BPL must cost 3 cycles"

    timing_begin t_bmi
    bmi :+
:   timing_end t_bmi, 2, 6, "Untaken BMI must cost 2 cycles"

    timing_begin t_bvc
    bvc :+
:   bvs :+
:   timing_end t_bvc, 5, 7, "Taken BVC and untaken BVS: 3 + 2 cycles"

    sec
    timing_begin t_bcs
    bcs :+
:   bcc :+
:   timing_end t_bcs, 5, 8, "Taken BCS and untaken BCC: 3 + 2 cycles"

    clc
    timing_begin t_bcc
    bcc :+
:   bcs :+
:   timing_end t_bcc, 5, 9, "Taken BCC and untaken BCS: 3 + 2 cycles"

    timing_begin t_back
    beq t_back_target       ; a taken branch backwards...
t_back_return:
    bne t_back_done         ; ...and an untaken one
t_back_done:
    jmp t_back_tail
t_back_target:
    beq t_back_return
t_back_tail:
    timing_end t_back, 11, 10, "Two taken BEQ, an untaken BNE and JMP: 11"

    jsr page_cross_case

; ---------------------------------------------------------- indexed reads
    ldx #$20
    timing_begin t_absx
    lda $02F0,x
    timing_end t_absx, 4, 20, "LDA abs,X across a page must cost 4 cycles"

    ldx #$02
    timing_begin t_absx_wrap
    lda $FFFF,x
    timing_end t_absx_wrap, 4, 21, "LDA $FFFF,X must cost 4 cycles"

    ldy #$20
    timing_begin t_absy
    lda $02F0,y
    timing_end t_absy, 4, 22, "LDA abs,Y across a page must cost 4 cycles"

    lda #$F0
    sta pointer
    lda #$02
    sta pointer + 1
    ldy #$20
    timing_begin t_indy
    lda (pointer),y
    timing_end t_indy, 5, 23, "LDA (zp),Y across a page must cost 5 cycles"

    ldy #$20
    timing_begin t_ldx
    ldx $02F0,y
    timing_end t_ldx, 4, 24, "LDX abs,Y across a page must cost 4 cycles"

    ldx #$20
    timing_begin t_ldy
    ldy $02F0,x
    timing_end t_ldy, 4, 25, "LDY abs,X across a page must cost 4 cycles"

    ldx #$20
    timing_begin t_cmp
    cmp $02F0,x
    timing_end t_cmp, 4, 26, "CMP abs,X across a page must cost 4 cycles"

    ldx #$00
    timing_begin t_absx0
    lda $0200,x
    timing_end t_absx0, 4, 27, "LDA abs,X must cost 4 cycles"

; --------------------------------------------------------- stores and RMW
    ldx #$20
    timing_begin t_stax
    sta $02F0,x
    timing_end t_stax, 5, 30, "STA abs,X must cost 5 cycles"

    ldy #$20
    timing_begin t_stay
    sta (pointer),y
    timing_end t_stay, 6, 31, "STA (zp),Y must cost 6 cycles"

    ldx #$20
    timing_begin t_incx
    inc $02F0,x
    timing_end t_incx, 7, 32, "INC abs,X must cost 7 cycles"

    timing_begin t_inczp
    inc $40
    timing_end t_inczp, 5, 33, "INC zp must cost 5 cycles"

    timing_begin t_incabs
    inc $0240
    timing_end t_incabs, 6, 34, "INC abs must cost 6 cycles"

    ldx #$01
    timing_begin t_rolzpx
    rol $40,x
    timing_end t_rolzpx, 6, 35, "ROL zp,X must cost 6 cycles"

    timing_begin t_asla
    asl a
    timing_end t_asla, 2, 36, "ASL A must cost 2 cycles"

; ------------------------------------------------------------------ loads
    timing_begin t_ldzp
    lda $40
    timing_end t_ldzp, 3, 40, "LDA zp must cost 3 cycles"

    timing_begin t_ldabs
    lda $0240
    timing_end t_ldabs, 4, 41, "LDA abs must cost 4 cycles"

    ldx #$01
    timing_begin t_ldzpx
    lda $40,x
    timing_end t_ldzpx, 4, 42, "LDA zp,X must cost 4 cycles"

    ldx #$00
    timing_begin t_indx
    lda (pointer,x)
    timing_end t_indx, 6, 43, "LDA (zp,X) must cost 6 cycles"

    timing_begin t_imm
    lda #$00
    timing_end t_imm, 2, 44, "LDA # must cost 2 cycles"

    timing_begin t_bit
    bit $0240
    timing_end t_bit, 4, 45, "BIT abs must cost 4 cycles"

    timing_begin t_adc
    adc #$00
    timing_end t_adc, 2, 46, "ADC # must cost 2 cycles"

; -------------------------------------------------------- jumps and stack
    timing_begin t_jmp
    jmp :+
:   timing_end t_jmp, 3, 50, "JMP abs must cost 3 cycles"

    lda #<t_jmpi_target
    sta $0300
    lda #>t_jmpi_target
    sta $0301
    timing_begin t_jmpi
    jmp ($0300)
t_jmpi_target:
    timing_end t_jmpi, 5, 51, "JMP (abs) must cost 5 cycles"

    timing_begin t_jsr
    jsr just_return
    timing_end t_jsr, 12, 52, "JSR and RTS must cost 6 + 6 cycles"

    timing_begin t_pha
    pha
    pla
    timing_end t_pha, 7, 53, "PHA and PLA must cost 3 + 4 cycles"

    timing_begin t_php
    php
    plp
    timing_end t_php, 7, 54, "PHP and PLP must cost 3 + 4 cycles"

    timing_begin t_tsx
    tsx
    txs
    timing_end t_tsx, 4, 55, "TSX and TXS must cost 2 + 2 cycles"

; --------------------------------------------------- undocumented opcodes
    timing_begin t_a7
    .byte $A7
    timing_end t_a7, 3, 60, "Opcode $A7 must cost 3 cycles"

    timing_begin t_02
    .byte $02
    timing_end t_02, 2, 61, "Opcode $02 must cost 2 cycles"

    timing_begin t_e2
    .byte $E2
    timing_end t_e2, 3, 62, "Opcode $E2 must cost 3 cycles"

    timing_begin t_04
    .byte $04
    timing_end t_04, 3, 63, "Opcode $04 must cost 3 cycles"

    timing_begin t_1c
    .byte $1C
    timing_end t_1c, 4, 64, "Opcode $1C must cost 4 cycles"

    timing_begin t_ff
    .byte $FF
    timing_end t_ff, 7, 65, "Opcode $FF must cost 7 cycles"

; --------------------------------------------------------- BRK with I set
    ; Only requests an IRQ, which waits while I is set: 7 cycles.
    timing_begin t_brk
    brk
    .byte $EA
    timing_end t_brk, 7, 66, "BRK with I set must cost 7 cycles"

    result_pass

just_return:
    rts

; Waits for an NMI, then clears the flag and the count.
sync:
    lda #$00
    sta nmi_flag
:   bit nmi_flag
    bpl :-
    lda #$00
    sta nmi_flag
    sta count
    sta count + 1
    rts

; Fails with status A and the text at X (low), Y (high) unless
; low <= count <= high. The text gets the count appended in hexadecimal.
check_count:
    sta status
    stx text_ptr
    sty text_ptr + 1
    lda count
    cmp low
    lda count + 1
    sbc low + 1
    bcc @fail               ; count < low: the loop was too slow
    lda high
    cmp count
    lda high + 1
    sbc count + 1
    bcc @fail               ; count > high: too fast
    rts
@fail:
    ldy #0
:   lda (text_ptr),y
    beq :+
    sta RESULT_TEXT,y
    iny
    bne :-
:   ldx #0
:   lda count_label,x
    beq :+
    sta RESULT_TEXT,y
    iny
    inx
    bne :-
:   lda count + 1
    jsr put_hex
    lda count
    jsr put_hex
    lda #')'
    sta RESULT_TEXT,y
    iny
    lda #0
    sta RESULT_TEXT,y
    lda status
    sta RESULT_STATUS
:   jmp :-

; Appends A as two hexadecimal digits at RESULT_TEXT + Y.
put_hex:
    pha
    lsr a
    lsr a
    lsr a
    lsr a
    tax
    lda hex_digits,x
    sta RESULT_TEXT,y
    iny
    pla
    and #$0F
    tax
    lda hex_digits,x
    sta RESULT_TEXT,y
    iny
    rts

count_label: .byte " (count $", 0
hex_digits:  .byte "0123456789ABCDEF"

nmi:
    pha
    lda #$80
    sta nmi_flag
    pla
    rti

irq:
    rti

; --------------------------------------------------- branches across pages
; The loop starts three bytes before a page boundary, so that its taken BEQ
; lands in the next page and the closing BPL jumps back across the boundary.
.segment "ALIGNED"
page_cross_case:
    jsr sync
    jmp t_page
    .res $FD - (* - page_cross_case)
t_page:
    beq t_page_target       ; $xxFD: operand at $xxFE, next instruction $xxFF
    .byte $00
t_page_target:              ; $xx00 of the next page
    timing_end t_page, 3, 11, "Taken BEQ into the next page must cost 3"
    .assert >t_page <> >t_page_target, error, "the branch must cross a page"
    rts

.segment "VECTORS"
    .word nmi, reset, irq
