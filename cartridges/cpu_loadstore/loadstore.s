; Loads, stores and transfers through every addressing mode, with the wrap
; rules of the 6502's address arithmetic:
;   - zp,X and zp,Y stay in page zero, for reads and for writes;
;   - (zp,X) and (zp),Y read the pointer's high byte from the next page-zero
;     byte, wrapping from $FF to $00;
;   - JMP (abs) reads the target's high byte from the start of the same page
;     when the pointer sits at $xxFF;
;   - abs,X, abs,Y and (zp),Y wrap from $FFFF to $0000.
; Also: the undocumented opcodes are one-byte no-ops on this console, so the
; byte after one is executed as the next opcode.
;
; Each check reports its own status code and text through the $6000 protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

; Stores a byte without touching the flags under test (A is lost).
.macro poke address, value
    lda #value
    sta address
.endmacro

FLAG_N = $80
FLAG_V = $40
FLAG_Z = $02
FLAG_C = $01

DATA   = $0345      ; a byte of work RAM the pointers below aim at

.segment "CODE"

reset:
    start_cpu
    result_begin
    jsr wait_frames

; ---------------------------------------------------------------- immediate
    lda #$00
    expect_flags FLAG_N | FLAG_Z, FLAG_Z, 1, "LDA #$00 must set Z and clear N"
    lda #$80
    expect_flags FLAG_N | FLAG_Z, FLAG_N, 2, "LDA #$80 must set N and clear Z"
    lda #$7F
    expect_flags FLAG_N | FLAG_Z, 0, 3, "LDA #$7F must clear N and Z"
    sec
    lda #$00
    expect_flags FLAG_C, FLAG_C, 4, "LDA must not change C"

; ------------------------------------------------------- zero page, absolute
    lda #$5A
    sta $30
    sta DATA
    lda #0
    lda $30
    expect_a $5A, 5, "LDA/STA zp lost the byte"
    lda #0
    lda DATA
    expect_a $5A, 6, "LDA/STA abs lost the byte"
    ldx $30
    expect_x $5A, 7, "LDX zp read the wrong byte"
    ldy DATA
    expect_y $5A, 8, "LDY abs read the wrong byte"
    ldx #$11
    stx $31
    expect_mem $31, $11, 9, "STX zp stored the wrong byte"
    ldy #$22
    sty DATA + 1
    expect_mem DATA + 1, $22, 10, "STY abs stored the wrong byte"
    ldx #$00
    ldx $30
    expect_flags FLAG_N | FLAG_Z, 0, 11, "LDX zp must set N and Z from the byte"
    ldy DATA + 1
    expect_y $22, 12, "LDY abs read the wrong byte"

; ------------------------------------------------ zp,X and zp,Y wrap in page 0
    poke $10, $5A
    poke $0110, $A5         ; where an unwrapped $80+$90 would land
    ldx #$90
    lda $80,x
    expect_a $5A, 13, "LDA $80,X with X=$90 must read $0010"
    ldx #$20
    lda #$C3
    sta $F0,x
    expect_mem $10, $C3, 14, "STA $F0,X with X=$20 must write $0010"
    expect_mem $0110, $A5, 15, "STA $F0,X with X=$20 wrote outside page 0"
    ldx #$20
    clc
    asl $F0,x
    expect_flags FLAG_C, FLAG_C, 16, "ASL $F0,X must shift the byte at $0010"
    expect_mem $10, $86, 17, "ASL $F0,X with X=$20 must rewrite $0010"
    expect_mem $0110, $A5, 18, "ASL $F0,X with X=$20 wrote outside page 0"
    poke $00, $41
    poke $0100, $00
    ldx #$01
    inc $FF,x
    expect_mem $00, $42, 19, "INC $FF,X with X=1 must change $0000"
    expect_mem $0100, $00, 20, "INC $FF,X with X=1 wrote $0100"
    ldx #$90
    ldy $80,x
    expect_y $86, 21, "LDY $80,X with X=$90 must read $0010"
    ldy #$77
    ldx #$20
    sty $F0,x
    expect_mem $10, $77, 22, "STY $F0,X with X=$20 must write $0010"
    poke $10, $5A
    ldy #$90
    ldx $80,y
    expect_x $5A, 23, "LDX $80,Y with Y=$90 must read $0010"
    ldy #$20
    ldx #$3C
    stx $F0,y
    expect_mem $10, $3C, 24, "STX $F0,Y with Y=$20 must write $0010"
    expect_mem $0110, $A5, 25, "STX $F0,Y with Y=$20 wrote outside page 0"
    ldx #$01
    lda $30,x
    expect_a $11, 26, "LDA $30,X with X=1 must read $0031"

; ------------------------------------------------------------- abs,X / abs,Y
    ldx #$05
    lda DATA - 5,x
    expect_a $5A, 27, "LDA abs,X read the wrong byte"
    ldx #$46
    lda $02FF,x
    expect_a $5A, 28, "LDA $02FF,X with X=$46 must read $0345"
    ldy #$46
    lda $02FF,y
    expect_a $5A, 29, "LDA $02FF,Y with Y=$46 must read $0345"
    ldx #$46
    lda #$6B
    sta $02FF,x
    expect_mem DATA, $6B, 30, "STA $02FF,X with X=$46 must write $0345"
    ldy #$47
    lda #$6C
    sta $02FF,y
    expect_mem DATA + 1, $6C, 31, "STA $02FF,Y with Y=$47 must write $0346"
    ldy #$46
    ldx $02FF,y
    expect_x $6B, 32, "LDX abs,Y read the wrong byte"
    ldx #$47
    ldy $02FF,x
    expect_y $6C, 33, "LDY abs,X read the wrong byte"
    poke $01, $E7
    ldx #$02
    lda $FFFF,x
    expect_a $E7, 34, "LDA $FFFF,X with X=2 must read $0001"
    poke $10, $5A
    ldy #$11
    lda $FFFF,y
    expect_a $5A, 35, "LDA $FFFF,Y with Y=$11 must read $0010"
    ldx #$11
    lda #$99
    sta $FFFF,x
    expect_mem $10, $99, 36, "STA $FFFF,X with X=$11 must write $0010"
    ldx #$11
    inc $FFFF,x
    expect_mem $10, $9A, 37, "INC $FFFF,X with X=$11 must change $0010"

; --------------------------------------------------------------------- (zp,X)
    poke DATA, $5A
    poke $40, <DATA
    poke $41, >DATA
    ldx #$04
    lda ($3C,x)
    expect_a $5A, 38, "LDA ($3C,X) with X=4 must read through $0040"
    ldx #$C4
    lda ($7C,x)
    expect_a $5A, 39, "LDA ($7C,X) with X=$C4 must read through $0040"
    ldx #$04
    lda #$D2
    sta ($3C,x)
    expect_mem DATA, $D2, 40, "STA ($3C,X) with X=4 must write through $0040"
    poke DATA, $5A
    poke $0445, $00         ; what a pointer high byte taken from $0100 finds
    poke $FF, <DATA
    poke $00, >DATA
    poke $0100, $04
    ldx #$00
    lda ($FF,x)
    expect_a $5A, 41, "LDA ($FF,X) must take the high byte from $0000"
    ldx #$80
    lda ($7F,x)
    expect_a $5A, 42, "LDA ($7F,X) with X=$80 must use $00FF and $0000"

; --------------------------------------------------------------------- (zp),Y
    ldy #$00
    lda ($40),y
    expect_a $5A, 43, "LDA ($40),Y with Y=0 read the wrong byte"
    poke DATA + $10, $E1
    ldy #$10
    lda ($40),y
    expect_a $E1, 44, "LDA ($40),Y with Y=$10 read the wrong byte"
    poke $42, $F0
    poke $43, $03
    poke $0445, $B4
    ldy #$55
    lda ($42),y
    expect_a $B4, 45, "LDA ($42),Y must carry into the high byte"
    poke $0445, $00
    ldy #$00
    lda ($FF),y
    expect_a $5A, 46, "LDA ($FF),Y must take the high byte from $0000"
    ldy #$01
    lda #$C8
    sta ($FF),y
    expect_mem DATA + 1, $C8, 47, "STA ($FF),Y must take the high byte from $0000"
    poke $10, $3E
    poke $42, $F0
    poke $43, $FF
    ldy #$20
    lda ($42),y
    expect_a $3E, 48, "LDA ($42),Y with pointer $FFF0, Y=$20 must read $0010"
    ldy #$20
    lda #$4D
    sta ($42),y
    expect_mem $10, $4D, 49, "STA ($42),Y with pointer $FFF0, Y=$20 must write $0010"

; ------------------------------------------------------------------ JMP (abs)
    ; A pointer in the middle of a page.
    poke $0210, <jmp_plain_ok
    poke $0211, >jmp_plain_ok
    jmp ($0210)
    result_fail 50, "JMP ($0210) did not jump"
jmp_plain_ok:
    ; A pointer at $02FF: the high byte comes from $0200, not $0300.
    poke $02FF, <jmp_page_ok
    poke $0200, >jmp_page_ok
    poke $0300, $05
    landing_pad $0500 + <jmp_page_ok, jmp_page_bad
    .byte $6C               ; JMP ($02FF), spelled out: the assembler warns
    .word $02FF             ; about exactly the behaviour under test
    result_fail 51, "JMP ($02FF) did not jump"
jmp_page_bad:
    result_fail 52, "JMP ($02FF) must take the high byte from $0200"
jmp_page_ok:
    ; $10FF and $1000 are mirrors of $00FF and $0000; $1100 would be $0100.
    poke $00FF, <jmp_mirror_ok
    poke $0000, >jmp_mirror_ok
    poke $0100, $06
    landing_pad $0600 + <jmp_mirror_ok, jmp_mirror_bad
    .byte $6C               ; JMP ($10FF)
    .word $10FF
    result_fail 53, "JMP ($10FF) did not jump"
jmp_mirror_bad:
    result_fail 54, "JMP ($10FF) must take the high byte from $1000"
jmp_mirror_ok:

; ------------------------------------------------------------------ transfers
    lda #$80
    ldx #$00
    tax
    expect_flags FLAG_N | FLAG_Z, FLAG_N, 55, "TAX of $80 must set N"
    expect_x $80, 56, "TAX must copy A"
    lda #$00
    ldy #$01
    tay
    expect_flags FLAG_N | FLAG_Z, FLAG_Z, 57, "TAY of 0 must set Z"
    expect_y $00, 58, "TAY must copy A"
    ldx #$33
    lda #$00
    txa
    sta $20
    expect_flags FLAG_N | FLAG_Z, 0, 59, "TXA of $33 must clear N and Z"
    lda $20
    expect_a $33, 60, "TXA must copy X"
    ldy #$F0
    lda #$00
    tya
    sta $20
    expect_flags FLAG_N | FLAG_Z, FLAG_N, 61, "TYA of $F0 must set N"
    lda $20
    expect_a $F0, 62, "TYA must copy Y"
    ldx #$80
    lda #$01                ; N and Z clear
    txs
    beq txs_flags_bad
    bmi txs_flags_bad
    ldx #$00
    tsx
    bpl tsx_flags_bad
    expect_x $80, 63, "TSX must read what TXS stored"
    ldx #$FF
    txs
    jmp transfers_done
txs_flags_bad:
    result_fail 64, "TXS must not change N or Z"
tsx_flags_bad:
    result_fail 65, "TSX of $80 must set N"
transfers_done:

; ------------------------------------------------------ undocumented opcodes
    ldx #$00
    .byte $04, $E8          ; $04 is one byte; $E8 (INX) runs next
    expect_x $01, 66, "Opcode $04 must advance pc by one only"
    ldx #$00
    .byte $0C, $E8, $E8     ; $0C too: both INX run
    expect_x $02, 67, "Opcode $0C must advance pc by one only"
    ldx #$00
    .byte $80, $E8          ; $80 is undocumented as well
    expect_x $01, 68, "Opcode $80 must advance pc by one only"
    ldx #$00
    .byte $02               ; does not halt the processor
    inx
    .byte $FF
    inx
    expect_x $02, 69, "Opcodes $02 and $FF must be one-byte no-ops"
    lda #$00
    ldx #$00
    .byte $A7, $E8          ; A and flags untouched, INX runs
    expect_x $01, 70, "Opcode $A7 must advance pc by one only"

    result_pass

    result_wait_frames_routine

    result_unexpected_interrupts

vectors
