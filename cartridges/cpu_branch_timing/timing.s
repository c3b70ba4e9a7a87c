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

; A whole case whose body is op1 and op2 (either may be left out). A branch
; to the next instruction is written *+2.
.macro timing_case t, code, text, op1, op2
    .local loop
    timing_begin loop
    op1
    op2
    timing_end loop, t, code, text
.endmacro

.segment "CODE"

reset:
    start_cpu
    lda #$00
    sta PPUMASK     ; rendering off: every frame is 89342 dots
    result_begin
    lda #$80
    sta PPUCTRL     ; NMI on

; ------------------------------------------------------ the loop on its own
    timing_case 0, 1, "INC zp, BNE, BIT zp, BPL: 14 cycles"

; ---------------------------------------------------------------- branches
    timing_case 2, 2, "NOP must cost 2 cycles", nop
    timing_case 3, 3, "Taken BEQ must cost 3 cycles", beq *+2
    timing_case 2, 4, "Untaken BNE must cost 2 cycles", bne *+2
    timing_case 3, 5, "Taken BPL must cost 3 cycles", bpl *+2
    timing_case 2, 6, "Untaken BMI must cost 2 cycles", bmi *+2
    timing_case 5, 7, "Taken BVC and untaken BVS: 3 + 2 cycles", bvc *+2, bvs *+2
    sec
    timing_case 5, 8, "Taken BCS and untaken BCC: 3 + 2 cycles", bcs *+2, bcc *+2
    clc
    timing_case 5, 9, "Taken BCC and untaken BCS: 3 + 2 cycles", bcc *+2, bcs *+2

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
    timing_case 4, 20, "LDA abs,X across a page must cost 4 cycles", {lda $02F0,x}
    ldx #$02
    timing_case 4, 21, "LDA $FFFF,X must cost 4 cycles", {lda $FFFF,x}
    ldy #$20
    timing_case 4, 22, "LDA abs,Y across a page must cost 4 cycles", {lda $02F0,y}
    lda #$F0
    sta pointer
    lda #$02
    sta pointer + 1
    ldy #$20
    timing_case 5, 23, "LDA (zp),Y across a page must cost 5 cycles", {lda (pointer),y}
    ldy #$20
    timing_case 4, 24, "LDX abs,Y across a page must cost 4 cycles", {ldx $02F0,y}
    ldx #$20
    timing_case 4, 25, "LDY abs,X across a page must cost 4 cycles", {ldy $02F0,x}
    ldx #$20
    timing_case 4, 26, "CMP abs,X across a page must cost 4 cycles", {cmp $02F0,x}
    ldx #$00
    timing_case 4, 27, "LDA abs,X must cost 4 cycles", {lda $0200,x}

; --------------------------------------------------------- stores and RMW
    ldx #$20
    timing_case 5, 30, "STA abs,X must cost 5 cycles", {sta $02F0,x}
    ldy #$20
    timing_case 6, 31, "STA (zp),Y must cost 6 cycles", {sta (pointer),y}
    ldx #$20
    timing_case 7, 32, "INC abs,X must cost 7 cycles", {inc $02F0,x}
    timing_case 5, 33, "INC zp must cost 5 cycles", inc $40
    timing_case 6, 34, "INC abs must cost 6 cycles", inc $0240
    ldx #$01
    timing_case 6, 35, "ROL zp,X must cost 6 cycles", {rol $40,x}
    timing_case 2, 36, "ASL A must cost 2 cycles", asl a

; ------------------------------------------------------------------ loads
    timing_case 3, 40, "LDA zp must cost 3 cycles", lda $40
    timing_case 4, 41, "LDA abs must cost 4 cycles", lda $0240
    ldx #$01
    timing_case 4, 42, "LDA zp,X must cost 4 cycles", {lda $40,x}
    ldx #$00
    timing_case 6, 43, "LDA (zp,X) must cost 6 cycles", {lda (pointer,x)}
    timing_case 2, 44, "LDA # must cost 2 cycles", lda #$00
    timing_case 4, 45, "BIT abs must cost 4 cycles", bit $0240
    timing_case 2, 46, "ADC # must cost 2 cycles", adc #$00

; -------------------------------------------------------- jumps and stack
    timing_case 3, 50, "JMP abs must cost 3 cycles", jmp *+3

    lda #<t_jmpi_target
    sta $0300
    lda #>t_jmpi_target
    sta $0301
    timing_begin t_jmpi
    jmp ($0300)
t_jmpi_target:
    timing_end t_jmpi, 5, 51, "JMP (abs) must cost 5 cycles"

    timing_case 12, 52, "JSR and RTS must cost 6 + 6 cycles", jsr just_return
    timing_case 7, 53, "PHA and PLA must cost 3 + 4 cycles", pha, pla
    timing_case 7, 54, "PHP and PLP must cost 3 + 4 cycles", php, plp
    timing_case 4, 55, "TSX and TXS must cost 2 + 2 cycles", tsx, txs

; --------------------------------------------------- undocumented opcodes
    timing_case 3, 60, "Opcode $A7 must cost 3 cycles", .byte $A7
    timing_case 2, 61, "Opcode $02 must cost 2 cycles", .byte $02
    timing_case 3, 62, "Opcode $E2 must cost 3 cycles", .byte $E2
    timing_case 3, 63, "Opcode $04 must cost 3 cycles", .byte $04
    timing_case 4, 64, "Opcode $1C must cost 4 cycles", .byte $1C
    timing_case 7, 65, "Opcode $FF must cost 7 cycles", .byte $FF

; --------------------------------------------------------- BRK with I set
    ; Only requests an IRQ, which waits while I is set: 7 cycles.
    timing_case 7, 66, "BRK with I set must cost 7 cycles", brk, .byte $EA

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

vectors
