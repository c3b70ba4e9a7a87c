; Wait loops: the short loops in which programs wait for an interrupt to
; change a byte of work RAM, or spin in a jump to itself. The CPU must leave
; each of them at the first turn after the change, whatever form it has, and
; must notice when the code under a loop is switched away.
;   1. LDA zp / BEQ until the NMI handler sets a flag.
;   2. LDX abs / BEQ on a byte outside page zero.
;   3. BIT zp / BPL until the handler sets bit 7.
;   4. CMP zp / BEQ until the frame count moves (and CPX, CPY forms).
;   5. LDA / BEQ left by the APU's frame IRQ, eight times.
;   6. With I set, a pending frame IRQ must not end the wait; the NMI does.
;   7. JMP to itself, left by an NMI handler that changes the return address.
;   8. A loop in a switchable bank, switched away by the NMI handler: the
;      other bank's code at the same address must run.
;   9. LDY / BPL on a byte that the NMI handler counts up: the register must
;      follow every new value (the handler records what it holds).
; Each check reports its own status code and text through the $6000 protocol.
; The handlers also keep where each interrupt found the CPU, and check 5 keeps
; how long after each IRQ the next vertical blank came: a test that runs the
; cartridge twice compares these to show the timing is the same.

.include "cartridge.inc"

ines_header 4, 0, 2, 0

flag         = $10
nmi_count    = $11
nmi_mode     = $12      ; what the NMI handler does besides counting
irq_count    = $13
escape_to    = $14      ; 2 bytes: where mode NMI_ESCAPE returns to
far_flag     = $0345    ; a flag outside page zero
round        = $16

NMI_COUNT_ONLY = 0
NMI_SET_FLAG   = 1      ; flag := 1
NMI_SET_BIT7   = 2      ; flag := $80
NMI_FAR_FLAG   = 3      ; far_flag := 1
NMI_ESCAPE     = 4      ; return to escape_to instead
NMI_SWITCH     = 5      ; switch bank 1 in at $8000
NMI_RECORD_Y   = 6      ; y_seen + nmi_count := Y
y_seen         = $0300
nmi_pcs        = $0400  ; the low byte of the address each NMI returned to
irq_pcs        = $0500  ; the same for each IRQ
irq_times      = $0580

; In the NMI handler: skips to the next anonymous label unless the mode is
; `mode`.
.macro in_mode mode
    lda nmi_mode
    cmp #mode
    bne :+
.endmacro

.macro set_nmi_mode mode
    lda #mode
    sta nmi_mode
.endmacro

; ---------------------------------------------------------------------------
; The three switchable 16 KB banks, each starting with its number. Bank 0
; holds a wait loop at $8001, bank 1 at the same place code that leaves it
; (assembled at $C001 here, it runs from $8001: it makes no reference to
; its own addresses).

fixed_prg $4000

.segment "BANKS"
banks:
    .byte 0
bank0_loop:
    lda flag
    beq bank0_loop
    jmp bank0_left
    .res banks + $4000 - *
    .byte 1
    nop
    nop
    nop
    nop
    jmp bank1_ran
    .res banks + $8000 - *
    .byte 2

; ---------------------------------------------------------------------------

.segment "CODE"

bank_numbers:
    .byte 0, 1, 2, 3

; Selects the bank in A at $8000 (the written value matches the ROM byte).
select_bank:
    tax
    sta bank_numbers, x
    rts

reset:
    start_up
    stx flag
    stx nmi_count
    stx nmi_mode
    stx irq_count
    stx far_flag
    result_begin
    lda #0
    jsr select_bank
    lda #$80
    sta PPUCTRL             ; NMI on

    ; 1. LDA zp / BEQ
    wait_for_nmi
    lda #0
    sta flag
    set_nmi_mode NMI_SET_FLAG
    ldx nmi_count
wait1:
    lda flag
    beq wait1
    set_nmi_mode NMI_COUNT_ONLY
    lda flag
    expect_a 1, 1, "LDA/BEQ loop must end when the flag is set"
    txa
    clc
    adc #1
    cmp nmi_count
    beq :+
    result_fail 2, "LDA/BEQ loop must end at the first NMI"
:

    ; 2. LDX abs / BEQ on a byte outside page zero
    lda #0
    sta far_flag
    set_nmi_mode NMI_FAR_FLAG
wait2:
    ldx far_flag
    beq wait2
    set_nmi_mode NMI_COUNT_ONLY
    txa
    expect_a 1, 3, "LDX abs/BEQ loop must end when the flag is set"

    ; 3. BIT zp / BPL
    lda #0
    sta flag
    set_nmi_mode NMI_SET_BIT7
    lda #$FF
wait3:
    bit flag
    bpl wait3
    set_nmi_mode NMI_COUNT_ONLY
    lda flag
    expect_a $80, 4, "BIT/BPL loop must end when bit 7 is set"

    ; 4. CMP, CPX and CPY against the frame count
    wait_for_nmi
    lda nmi_count
    clc
    adc #2
    tay
wait4:
    cpy nmi_count
    bne wait4
    ldx nmi_count
wait4b:
    cpx nmi_count
    beq wait4b
    tya
    clc
    adc #1
    cmp nmi_count
    beq :+
    result_fail 5, "CPY/BNE and CPX/BEQ loops must end at the right NMI"
:

    ; 5. The APU's frame IRQ ends an LDA/BEQ loop, eight times, started at
    ; different lines of the frame so that the requests come at different
    ; lines too. After each, the time to the next vertical blank is kept: it
    ; shows when the IRQ was taken.
    lda #0
    sta PPUCTRL             ; no NMI, so only the IRQ can end the wait
    sta irq_count
    sta round
    cli
wait5_next:
    lda #0
    sta flag
    wait_vblank
    lda round               ; 3 x round + 1 blocks of 1280 cycles
    asl a
    adc round
    tax
    inx
@delay:
    ldy #0
:   dey
    bne :-
    dex
    bne @delay
    lda #0
    sta APUFRAME            ; four-step sequence: its IRQ comes 29830 cycles on
wait5:
    lda flag
    beq wait5
    lda #$40
    sta APUFRAME            ; no further request until the next round
    ldx #0
:   inx
    bit PPUSTATUS
    bpl :-
    txa
    ldy round
    sta irq_times, y
    inc round
    lda round
    cmp #8
    bne wait5_next
    sei
    lda #$40
    sta APUFRAME
    lda irq_count
    expect_a 8, 6, "The frame IRQ must end an LDA/BEQ loop"

    ; 6. With I set, a pending frame IRQ must not end the wait, the NMI must
    lda #0
    sta flag
    sta irq_count
    sta APUFRAME            ; the IRQ will be requested but stays masked
    lda #$80
    sta PPUCTRL
    wait_for_nmi                ; by now the request may be pending
    wait_for_nmi
    set_nmi_mode NMI_SET_FLAG
wait6:
    lda flag
    beq wait6
    set_nmi_mode NMI_COUNT_ONLY
    lda #$40
    sta APUFRAME
    lda APUSTATUS           ; acknowledge the request
    lda irq_count
    expect_a 0, 7, "A masked IRQ must not be taken in a wait loop"

    ; 7. JMP to itself, left by the NMI handler
    lda #<after7
    sta escape_to
    lda #>after7
    sta escape_to + 1
    set_nmi_mode NMI_ESCAPE
wait7:
    jmp wait7
after7:
    set_nmi_mode NMI_COUNT_ONLY

    ; 8. The bank under a wait loop is switched away
    lda #0
    sta flag
    wait_for_nmi
    set_nmi_mode NMI_SWITCH
    jmp bank0_loop
bank0_left:
    result_fail 8, "Bank 0's loop must not end"
bank1_ran:
    set_nmi_mode NMI_COUNT_ONLY
    lda $8000
    expect_a 1, 9, "Bank 1 must be at $8000"

    ; 9. The register follows the byte
    wait_for_nmi
    lda #$7C
    sta nmi_count
    set_nmi_mode NMI_RECORD_Y
wait9:
    ldy nmi_count
    bpl wait9
    set_nmi_mode NMI_COUNT_ONLY
    ldx #$7D
:   txa
    sec
    sbc #1
    cmp y_seen, x
    beq :+
    result_fail 10, "The loop's register must follow the byte it reads"
:   inx
    cpx #$81
    bne :--

    result_pass

nmi:
    pha
    inc nmi_count
    txa
    pha
    tsx
    lda $0104, x
    ldx nmi_count
    sta nmi_pcs, x
    pla
    tax
    in_mode NMI_SET_FLAG
    lda #1
    sta flag
:   in_mode NMI_SET_BIT7
    lda #$80
    sta flag
:   in_mode NMI_FAR_FLAG
    lda #1
    sta far_flag
:   in_mode NMI_SWITCH
    txa
    pha
    lda #1
    jsr select_bank
    pla
    tax
    lda #NMI_COUNT_ONLY
    sta nmi_mode
:   in_mode NMI_RECORD_Y
    txa
    pha
    ldx nmi_count
    tya
    sta y_seen, x
    pla
    tax
:   lda nmi_mode
    cmp #NMI_ESCAPE
    bne @return
    ; Replace the pushed return address (above A and P on the stack).
    tsx
    lda escape_to
    sta $0103, x
    lda escape_to + 1
    sta $0104, x
    lda #NMI_COUNT_ONLY
    sta nmi_mode
@return:
    pla
    rti

irq:
    pha
    lda APUSTATUS           ; acknowledges the frame IRQ
    inc irq_count
    txa
    pha
    tsx
    lda $0104, x
    ldx irq_count
    sta irq_pcs, x
    pla
    tax
    lda #2
    sta flag
    pla
    rti

vectors
