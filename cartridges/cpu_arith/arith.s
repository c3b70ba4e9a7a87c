; Arithmetic, comparison, bit test, increments, shifts, rotates and logic.
;
; Most checks are rows of one table. For each row the harness copies the
; instruction into work RAM, sets A, X and Y to the row's register value, the
; status to the row's flags (I always set) and the byte at $0010 to the
; row's memory value, runs the instruction, and compares A, the flags
; N V D I Z C and the byte at $0010 with the row's expectations. Instructions
; with a memory operand address $0010 (zero page or absolute). A failing row
; reports its row number as the status, with its name and what went wrong.
;
; The 2A03 has no decimal mode: ADC and SBC give binary results with D set.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

F_N = $80
F_V = $40
F_D = $08
F_I = $04
F_Z = $02
F_C = $01

M        = $10      ; the memory operand of every row
CODE_RAM = $0400    ; the row's instruction runs here, followed by RTS

row_ptr  = $E0      ; current row (2 bytes)
name_ptr = $E2      ; its name (2 bytes)
row_no   = $E4      ; its number: the status reported on failure
reg_in   = $E5
p_in     = $E6
a_got    = $E7
p_got    = $E8
why_ptr  = $EA      ; the text appended to the name (2 bytes)

ROW_SIZE = 11

; One row: name, three instruction bytes (padded with RTS), the register
; value, the memory value and the flags going in, then A, the memory byte and
; the flags expected afterwards.
.macro arith_case name, b0, b1, b2, a_in, m_in, f_in, a_out, m_out, f_out
    .local text
    .pushseg
    .segment "RODATA"
text:
    .byte name, 0
    .popseg
    .word text
    .byte b0, b1, b2
    .byte a_in, (f_in) | F_I | $20, m_in
    .byte a_out, m_out, (f_out) | F_I
.endmacro

.segment "CODE"

reset:
    start_cpu
    result_begin
    jsr wait_frames

    lda #<cases
    sta row_ptr
    lda #>cases
    sta row_ptr + 1
    lda #1
    sta row_no
    jsr run_cases

; ------------------------------------------- register increments, decrements
    ldx #$FF
    inx
    expect_flags F_N | F_Z, F_Z, 100, "INX of $FF must give 0 and set Z"
    expect_x $00, 101, "INX of $FF must wrap to 0"
    dex
    expect_flags F_N | F_Z, F_N, 102, "DEX of 0 must give $FF and set N"
    expect_x $FF, 103, "DEX of 0 must wrap to $FF"
    ldy #$7F
    iny
    expect_flags F_N | F_Z, F_N, 104, "INY of $7F must set N"
    expect_y $80, 105, "INY of $7F must give $80"
    ldy #$01
    dey
    expect_flags F_N | F_Z, F_Z, 106, "DEY of 1 must set Z"
    expect_y $00, 107, "DEY of 1 must give 0"
    sec
    ldx #$FF
    inx
    expect_flags F_C, F_C, 108, "INX must not change C"
    clc
    ldy #$00
    dey
    expect_flags F_C, 0, 109, "DEY must not change C"

    result_pass

; Runs the rows from row_ptr on until a row with a null name.
run_cases:
    ldy #0
    lda (row_ptr),y
    sta name_ptr
    iny
    lda (row_ptr),y
    sta name_ptr + 1
    ora name_ptr
    bne :+
    rts
:   ldy #2
    lda (row_ptr),y
    sta CODE_RAM
    iny
    lda (row_ptr),y
    sta CODE_RAM + 1
    iny
    lda (row_ptr),y
    sta CODE_RAM + 2
    lda #$60            ; RTS
    sta CODE_RAM + 3
    iny
    lda (row_ptr),y
    sta reg_in
    iny
    lda (row_ptr),y
    sta p_in
    iny
    lda (row_ptr),y
    sta M

    lda p_in
    pha
    lda reg_in
    ldx reg_in
    ldy reg_in
    plp
    jsr CODE_RAM
    php
    sei
    cld
    sta a_got
    pla
    and #$CF            ; B and bit 5 exist only in the pushed copy
    sta p_got

    ldy #8
    lda (row_ptr),y
    cmp a_got
    bne bad_a
    iny
    lda (row_ptr),y
    cmp M
    bne bad_m
    iny
    lda (row_ptr),y
    cmp p_got
    bne bad_p

    ldx #ROW_SIZE       ; on to the next row (without ADC, which is under test)
:   inc row_ptr
    bne :+
    inc row_ptr + 1
:   dex
    bne :--
    inc row_no
    jmp run_cases

bad_a:
    lda #<why_a
    ldx #>why_a
    jmp fail_row
bad_m:
    lda #<why_m
    ldx #>why_m
    jmp fail_row
bad_p:
    lda #<why_p
    ldx #>why_p
    ; fall through

; Reports the row: its name followed by the text at A (low), X (high).
fail_row:
    sta why_ptr
    stx why_ptr + 1
    ldy #0
:   lda (name_ptr),y
    beq :+
    sta RESULT_TEXT,y
    iny
    bne :-
:   tya
    tax
    ldy #0
:   lda (why_ptr),y
    sta RESULT_TEXT,x
    beq :+
    inx
    iny
    bne :-
:   lda row_no
    sta RESULT_STATUS
:   jmp :-

why_a: .byte ": wrong A", 0
why_m: .byte ": wrong memory byte", 0
why_p: .byte ": wrong flags", 0

    result_wait_frames_routine

    result_unexpected_interrupts

; The rows sit in CODE so that their names can go to RODATA without
; interrupting the table.
.segment "CODE"
; The expected values follow from the instruction definitions:
; ADC: R = A + M + C, C = R > $FF, V when A and M agree in sign and R does not.
; SBC: R = A - M - (1 - C), C = no borrow, V when A and M differ in sign and
;      R's sign differs from A's.
cases:
    arith_case "ADC #$50, A=$50, C=0", $69, $50, $60, $50, $50, 0, $A0, $50, F_N|F_V  ; 1
    arith_case "ADC #$10, A=$50, C=0", $69, $10, $60, $50, $10, 0, $60, $10, 0  ; 2
    arith_case "ADC #$D0, A=$50, C=0", $69, $D0, $60, $50, $D0, 0, $20, $D0, F_C  ; 3
    arith_case "ADC #$90, A=$D0, C=0", $69, $90, $60, $D0, $90, 0, $60, $90, F_V|F_C  ; 4
    arith_case "ADC #$01, A=$FF, C=0", $69, $01, $60, $FF, $01, 0, $00, $01, F_Z|F_C  ; 5
    arith_case "ADC #$00, A=$FF, C=1", $69, $00, $60, $FF, $00, F_C, $00, $00, F_Z|F_C  ; 6
    arith_case "ADC #$00, A=$7F, C=1", $69, $00, $60, $7F, $00, F_C, $80, $00, F_N|F_V  ; 7
    arith_case "ADC #$00, A=$00, C=0", $69, $00, $60, $00, $00, 0, $00, $00, F_Z  ; 8
    arith_case "ADC #$80, A=$80, C=0", $69, $80, $60, $80, $80, 0, $00, $80, F_V|F_Z|F_C  ; 9
    arith_case "ADC #$01, A=$01, C=1", $69, $01, $60, $01, $01, F_C, $03, $01, 0  ; 10
    arith_case "ADC zp $3F, A=$40, C=1", $65, $10, $60, $40, $3F, F_C, $80, $3F, F_N|F_V  ; 11
    arith_case "ADC abs $7F, A=$7F, C=0", $6D, $10, $00, $7F, $7F, 0, $FE, $7F, F_N|F_V  ; 12
    arith_case "ADC #$01, A=$09, C=0, D=1", $69, $01, $60, $09, $01, F_D, $0A, $01, F_D  ; 13
    arith_case "ADC #$01, A=$99, C=0, D=1", $69, $01, $60, $99, $01, F_D, $9A, $01, F_N|F_D  ; 14
    arith_case "ADC #$50, A=$50, C=0, D=1", $69, $50, $60, $50, $50, F_D, $A0, $50, F_N|F_V|F_D  ; 15
    arith_case "SBC #$B0, A=$50, C=1", $E9, $B0, $60, $50, $B0, F_C, $A0, $B0, F_N|F_V  ; 16
    arith_case "SBC #$F0, A=$50, C=1", $E9, $F0, $60, $50, $F0, F_C, $60, $F0, 0  ; 17
    arith_case "SBC #$70, A=$50, C=1", $E9, $70, $60, $50, $70, F_C, $E0, $70, F_N  ; 18
    arith_case "SBC #$70, A=$D0, C=1", $E9, $70, $60, $D0, $70, F_C, $60, $70, F_V|F_C  ; 19
    arith_case "SBC #$30, A=$50, C=1", $E9, $30, $60, $50, $30, F_C, $20, $30, F_C  ; 20
    arith_case "SBC #$30, A=$50, C=0", $E9, $30, $60, $50, $30, 0, $1F, $30, F_C  ; 21
    arith_case "SBC #$00, A=$00, C=0", $E9, $00, $60, $00, $00, 0, $FF, $00, F_N  ; 22
    arith_case "SBC #$01, A=$80, C=1", $E9, $01, $60, $80, $01, F_C, $7F, $01, F_V|F_C  ; 23
    arith_case "SBC #$05, A=$05, C=1", $E9, $05, $60, $05, $05, F_C, $00, $05, F_Z|F_C  ; 24
    arith_case "SBC zp $01, A=$00, C=1", $E5, $10, $60, $00, $01, F_C, $FF, $01, F_N  ; 25
    arith_case "SBC abs $FF, A=$7F, C=1", $ED, $10, $00, $7F, $FF, F_C, $80, $FF, F_N|F_V  ; 26
    arith_case "SBC #$01, A=$10, C=1, D=1", $E9, $01, $60, $10, $01, F_D|F_C, $0F, $01, F_D|F_C  ; 27
    arith_case "SBC #$01, A=$00, C=1, D=1", $E9, $01, $60, $00, $01, F_D|F_C, $FF, $01, F_N|F_D  ; 28
    arith_case "CMP #$20, A=$10", $C9, $20, $60, $10, $20, 0, $10, $20, F_N  ; 29
    arith_case "CMP #$10, A=$20", $C9, $10, $60, $20, $10, 0, $20, $10, F_C  ; 30
    arith_case "CMP #$20, A=$20", $C9, $20, $60, $20, $20, 0, $20, $20, F_Z|F_C  ; 31
    arith_case "CMP #$FF, A=$00", $C9, $FF, $60, $00, $FF, F_C, $00, $FF, 0  ; 32
    arith_case "CMP #$00, A=$FF", $C9, $00, $60, $FF, $00, 0, $FF, $00, F_N|F_C  ; 33
    arith_case "CMP #$01, A=$80", $C9, $01, $60, $80, $01, F_V, $80, $01, F_V|F_C  ; 34
    arith_case "CMP zp $80, A=$7F", $C5, $10, $60, $7F, $80, F_C, $7F, $80, F_N  ; 35
    arith_case "CMP abs $42, A=$42", $CD, $10, $00, $42, $42, F_N, $42, $42, F_Z|F_C  ; 36
    arith_case "CPX #$41, X=$40", $E0, $41, $60, $40, $41, F_C, $40, $41, F_N  ; 37
    arith_case "CPX zp $40, X=$40", $E4, $10, $60, $40, $40, 0, $40, $40, F_Z|F_C  ; 38
    arith_case "CPX abs $3F, X=$40", $EC, $10, $00, $40, $3F, F_V, $40, $3F, F_V|F_C  ; 39
    arith_case "CPY #$41, Y=$40", $C0, $41, $60, $40, $41, F_C, $40, $41, F_N  ; 40
    arith_case "CPY zp $40, Y=$40", $C4, $10, $60, $40, $40, 0, $40, $40, F_Z|F_C  ; 41
    arith_case "CPY abs $3F, Y=$40", $CC, $10, $00, $40, $3F, F_V, $40, $3F, F_V|F_C  ; 42
    arith_case "BIT zp $C0, A=$0F", $24, $10, $60, $0F, $C0, 0, $0F, $C0, F_N|F_V|F_Z  ; 43
    arith_case "BIT zp $40, A=$40", $24, $10, $60, $40, $40, F_N, $40, $40, F_V  ; 44
    arith_case "BIT abs $3F, A=$FF", $2C, $10, $00, $FF, $3F, F_N|F_V|F_C, $FF, $3F, F_C  ; 45
    arith_case "BIT abs $80, A=$01", $2C, $10, $00, $01, $80, F_V, $01, $80, F_N|F_Z  ; 46
    arith_case "INC zp $FF, A=$00", $E6, $10, $60, $00, $FF, 0, $00, $00, F_Z  ; 47
    arith_case "INC zp $7F, A=$00", $E6, $10, $60, $00, $7F, F_C, $00, $80, F_N|F_C  ; 48
    arith_case "INC abs $00, A=$00", $EE, $10, $00, $00, $00, F_N|F_Z, $00, $01, 0  ; 49
    arith_case "DEC zp $00, A=$00", $C6, $10, $60, $00, $00, 0, $00, $FF, F_N  ; 50
    arith_case "DEC zp $01, A=$00", $C6, $10, $60, $00, $01, F_V, $00, $00, F_V|F_Z  ; 51
    arith_case "DEC abs $80, A=$00", $CE, $10, $00, $00, $80, F_N, $00, $7F, 0  ; 52
    arith_case "ASL A=$81", $0A, $60, $60, $81, $00, 0, $02, $00, F_C  ; 53
    arith_case "ASL A=$40", $0A, $60, $60, $40, $00, F_C, $80, $00, F_N  ; 54
    arith_case "ASL A=$80", $0A, $60, $60, $80, $00, 0, $00, $00, F_Z|F_C  ; 55
    arith_case "ASL zp $C1, A=$11", $06, $10, $60, $11, $C1, 0, $11, $82, F_N|F_C  ; 56
    arith_case "ASL abs $01, A=$11", $0E, $10, $00, $11, $01, F_N|F_C, $11, $02, 0  ; 57
    arith_case "LSR A=$01", $4A, $60, $60, $01, $00, 0, $00, $00, F_Z|F_C  ; 58
    arith_case "LSR A=$FF", $4A, $60, $60, $FF, $00, F_N, $7F, $00, F_C  ; 59
    arith_case "LSR zp $02, A=$22", $46, $10, $60, $22, $02, F_C, $22, $01, 0  ; 60
    arith_case "LSR abs $81, A=$22", $4E, $10, $00, $22, $81, 0, $22, $40, F_C  ; 61
    arith_case "ROL A=$80, C=1", $2A, $60, $60, $80, $00, F_C, $01, $00, F_C  ; 62
    arith_case "ROL A=$40, C=0", $2A, $60, $60, $40, $00, 0, $80, $00, F_N  ; 63
    arith_case "ROL A=$80, C=0", $2A, $60, $60, $80, $00, 0, $00, $00, F_Z|F_C  ; 64
    arith_case "ROL zp $55, A=$33, C=1", $26, $10, $60, $33, $55, F_C, $33, $AB, F_N  ; 65
    arith_case "ROL abs $00, A=$33, C=1", $2E, $10, $00, $33, $00, F_C, $33, $01, 0  ; 66
    arith_case "ROR A=$01, C=1", $6A, $60, $60, $01, $00, F_C, $80, $00, F_N|F_C  ; 67
    arith_case "ROR A=$02, C=0", $6A, $60, $60, $02, $00, 0, $01, $00, 0  ; 68
    arith_case "ROR A=$01, C=0", $6A, $60, $60, $01, $00, 0, $00, $00, F_Z|F_C  ; 69
    arith_case "ROR zp $AA, A=$44, C=1", $66, $10, $60, $44, $AA, F_C, $44, $D5, F_N  ; 70
    arith_case "ROR abs $01, A=$44, C=0", $6E, $10, $00, $44, $01, 0, $44, $00, F_Z|F_C  ; 71
    arith_case "AND #$0F, A=$F0", $29, $0F, $60, $F0, $0F, 0, $00, $0F, F_Z  ; 72
    arith_case "AND #$8F, A=$F3", $29, $8F, $60, $F3, $8F, 0, $83, $8F, F_N  ; 73
    arith_case "AND zp $0F, A=$3C", $25, $10, $60, $3C, $0F, F_N, $0C, $0F, 0  ; 74
    arith_case "AND abs $00, A=$FF", $2D, $10, $00, $FF, $00, 0, $00, $00, F_Z  ; 75
    arith_case "ORA #$01, A=$80", $09, $01, $60, $80, $01, 0, $81, $01, F_N  ; 76
    arith_case "ORA #$00, A=$00", $09, $00, $60, $00, $00, 0, $00, $00, F_Z  ; 77
    arith_case "ORA zp $21, A=$12", $05, $10, $60, $12, $21, F_N|F_Z, $33, $21, 0  ; 78
    arith_case "ORA abs $80, A=$00", $0D, $10, $00, $00, $80, 0, $80, $80, F_N  ; 79
    arith_case "EOR #$FF, A=$FF", $49, $FF, $60, $FF, $FF, 0, $00, $FF, F_Z  ; 80
    arith_case "EOR #$F0, A=$0F", $49, $F0, $60, $0F, $F0, 0, $FF, $F0, F_N  ; 81
    arith_case "EOR zp $0F, A=$5A", $45, $10, $60, $5A, $0F, 0, $55, $0F, 0  ; 82
    arith_case "EOR abs $00, A=$80", $4D, $10, $00, $80, $00, F_Z, $80, $00, F_N  ; 83
    arith_case "SEC", $38, $60, $60, $00, $00, 0, $00, $00, F_C  ; 84
    arith_case "CLC", $18, $60, $60, $00, $00, F_N|F_C, $00, $00, F_N  ; 85
    arith_case "CLV", $B8, $60, $60, $00, $00, F_V|F_C, $00, $00, F_C  ; 86
    arith_case "SED", $F8, $60, $60, $00, $00, 0, $00, $00, F_D  ; 87
    arith_case "CLD", $D8, $60, $60, $00, $00, F_D|F_Z, $00, $00, F_Z  ; 88
    .word 0

vectors
