; The stack and the instructions that use it.
;   - The stack is page $01; a push stores at $0100 + S and then decrements S,
;     a pull increments S and then loads; S wraps within 8 bits.
;   - PHP pushes P with bits 4 and 5 set; PLP keeps all eight bits it pulls.
;   - JSR pushes the address of its own last operand byte (high byte first);
;     RTS continues one byte after the address it pulls.
;   - RTI pulls P (bit 4 cleared, bit 5 set), then the return address, and
;     continues exactly there.
;
; Each check reports its own status code and text through the $6000 protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

; Fails unless S holds value (X is lost).
.macro expect_s value, code, text
    tsx
    expect_x value, code, text
.endmacro

; Sets P to value through the stack.
.macro set_p value
    lda #value
    pha
    plp
.endmacro

; Fails unless PHP pushes value (A is lost).
.macro expect_pushed_p value, code, text
    php
    pla
    expect_a value, code, text
.endmacro

.macro set_s value
    ldx #value
    txs
.endmacro

; Pushes the address `target` and then `p`, and runs RTI.
.macro rti_to target, p
    lda #>target
    pha
    lda #<target
    pha
    lda #p
    pha
    rti
.endmacro

.segment "CODE"

reset:
    start_cpu               ; no frame interrupt: I is cleared below
    result_begin
    jsr wait_frames
    set_s $FF

; ------------------------------------------------------------------ PHA, PLA
    lda #$5A
    pha
    expect_mem $01FF, $5A, 1, "PHA with S=$FF must store at $01FF"
    expect_s $FE, 2, "PHA must decrement S"
    lda #$00
    pla
    expect_a $5A, 3, "PLA must load what PHA stored"
    expect_s $FF, 4, "PLA must increment S"
    lda #$00
    pha
    lda #$01
    pla
    beq :+
    result_fail 5, "PLA of 0 must set Z"
:   lda #$80
    pha
    lda #$00
    pla
    bmi :+
    result_fail 6, "PLA of $80 must set N"
:

; ------------------------------------------------------------------ PHP, PLP
    set_p $24
    expect_pushed_p $34, 7, "PHP with P=$24 must push $34"
    set_p $00
    expect_pushed_p $30, 8, "PHP with P=0 must push $30"
    set_p $C3
    expect_pushed_p $F3, 9, "PHP with P=$C3 must push $F3"
    set_p $FF
    expect_pushed_p $FF, 10, "PLP of $FF then PHP must give $FF"
    set_p $00
    bmi plp_zero_bad
    bvs plp_zero_bad
    beq plp_zero_bad
    bcs plp_zero_bad
    jmp plp_zero_ok
plp_zero_bad:
    result_fail 11, "PLP of 0 must clear N, V, Z and C"
plp_zero_ok:
    set_p $CF
    bpl plp_set_bad
    bvc plp_set_bad
    bne plp_set_bad
    bcc plp_set_bad
    jmp plp_set_ok
plp_set_bad:
    result_fail 12, "PLP of $CF must set N, V, Z and C"
plp_set_ok:
    set_p $08
    expect_pushed_p $38, 13, "PLP must keep the D flag"
    set_p $04
    expect_pushed_p $34, 14, "PLP must keep the I flag"
    sei
    cld
    expect_s $FF, 15, "PHP and PLP must leave S balanced"

; ------------------------------------------------------------------ JSR, RTS
    set_s $FF
jsr_site:
    jsr check_jsr_push
    expect_s $FF, 19, "RTS must pull two bytes"

    ; RTS continues at the pulled address + 1.
    lda #>(rts_target - 1)
    pha
    lda #<(rts_target - 1)
    pha
    ldx #$00
    rts
    inx                     ; at rts_target - 1: runs only without the + 1
rts_target:
    expect_x $00, 20, "RTS must continue one byte after the pulled address"

    ; The + 1 carries into the high byte: $04FF continues at $0500.
    lda #$E8                ; INX at $04FF
    sta $04FF
    landing_pad $0500, rts_page_ok
    landing_pad $0400, rts_page_bad
    lda #$04
    pha
    lda #$FF
    pha
    ldx #$00
    rts
rts_page_bad:
    result_fail 21, "RTS to $04FF+1 must carry into the high byte"
rts_page_ok:
    expect_x $00, 22, "RTS to $04FF+1 must continue at $0500"

; ----------------------------------------------------------------------- RTI
    ; RTI pulls P, then the address, and continues there with no + 1.
    set_s $FF
    rti_to rti_target, $C3              ; N V Z C, I clear
rti_target:
    php                     ; skipped if RTI added 1
    expect_s $FE, 24, "RTI must continue at the pulled address"
    pla
    expect_a $F3, 23, "RTI of $C3 must give P=$E3"
    expect_s $FF, 25, "RTI must pull three bytes"
    sei

    rti_to rti_all, $FF
rti_all:
    expect_pushed_p $FF, 26, "RTI of $FF must set N V D I Z C"
    cld

    rti_to rti_none, $00
rti_none:
    expect_pushed_p $30, 27, "RTI of 0 must clear every flag"
    sei

; ------------------------------------------------------------------ TSX, TXS
    set_s $80
    lda #$AB
    pha
    expect_mem $0180, $AB, 28, "PHA with S=$80 must store at $0180"
    expect_s $7F, 29, "TXS must set S"

; ----------------------------------------------------------------- wrapping
    set_s $00
    lda #$C4
    pha
    expect_mem $0100, $C4, 30, "PHA with S=0 must store at $0100"
    expect_s $FF, 31, "PHA with S=0 must wrap S to $FF"
    lda #$00
    pla
    expect_a $C4, 32, "PLA with S=$FF must load from $0100"
    expect_s $00, 33, "PLA with S=$FF must wrap S to 0"

    ; JSR with S=1: high byte at $0101, low byte at $0100.
    set_s $01
jsr_wrap_site:
    jsr check_jsr_wrap
    expect_s $01, 37, "RTS must wrap S back from $FF to 1"

    ; JSR with S=0: high byte at $0100, low byte at $01FF.
    set_s $00
jsr_wrap0_site:
    jsr check_jsr_wrap0
    expect_s $00, 40, "RTS must wrap S back from $FE to 0"
    set_s $FF

    result_pass

; Called from jsr_site with S=$FF.
check_jsr_push:
    tsx
    cpx #$FD
    beq :+
    result_fail 16, "JSR must push two bytes"
:   lda $01FE
    expect_a <(jsr_site + 2), 17, "JSR must push the low byte of its last operand byte"
    lda $01FF
    expect_a >(jsr_site + 2), 18, "JSR must push the high byte first"
    rts

; Called from jsr_wrap_site with S=1.
check_jsr_wrap:
    tsx
    cpx #$FF
    beq :+
    result_fail 34, "JSR with S=1 must leave S=$FF"
:   lda $0101
    expect_a >(jsr_wrap_site + 2), 35, "JSR with S=1 must push the high byte at $0101"
    lda $0100
    expect_a <(jsr_wrap_site + 2), 36, "JSR with S=1 must push the low byte at $0100"
    rts

; Called from jsr_wrap0_site with S=0.
check_jsr_wrap0:
    lda $0100
    expect_a >(jsr_wrap0_site + 2), 38, "JSR with S=0 must push the high byte at $0100"
    lda $01FF
    expect_a <(jsr_wrap0_site + 2), 39, "JSR with S=0 must push the low byte at $01FF"
    rts

    result_wait_frames_routine

    result_unexpected_interrupts

vectors
