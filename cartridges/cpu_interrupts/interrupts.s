; Interrupts as this console's CPU takes them.
;   - The PPU requests one NMI per frame while NMI is enabled in $2000, and
;     none while it is disabled or when it is enabled only after the start of
;     the vertical blank.
;   - Taking an interrupt pushes the return address, then P with bit 4 clear
;     and bit 5 set. It does not set I: a handler starts with the flags the
;     interrupted code had.
;   - BRK only requests an IRQ and skips the byte after it. With I clear the
;     IRQ is taken at once and returns two bytes past the BRK; with I set the
;     request waits and is taken right after the CLI, PLP or RTI that clears I.
;   - $2002 shows the vertical-blank flag once: the read clears it, and the
;     end of the vertical blank clears it too. A read in the very dot in which
;     the flag rises sees it clear and keeps it from rising in that frame.
;   - The NMI request comes 20 dots after the flag rises.
;
; Each check reports its own status code and text through the $6000 protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

nmi_count    = $20
irq_count    = $21
nmi_pushed_p = $22      ; P as the NMI pushed it
nmi_entry_p  = $23      ; P on entry to the handler (as PHP pushes it)
nmi_ret      = $24      ; the return address the NMI pushed (2 bytes)
irq_pushed_p = $26
irq_entry_p  = $27
irq_ret      = $28      ; 2 bytes
start_count  = $2A
timeout      = $2B
sweep_bits   = $2C
race_frame   = $2D      ; the sweep frame whose first read met the flag's dot
nmi_base     = $2E
nest_mode    = $2F      ; when set, the IRQ handler runs a BRK of its own
nest_seen    = $30      ; irq_count right after that BRK
first_reads  = $0300    ; the sweep's $2002 reads, one per frame
second_reads = $0400
nmi_reads    = $0500    ; the NMI count just after each first read
SWEEP_FRAMES = 96
NMI_CYCLES   = 73       ; NMI entry (7) and the handler below (66)

; Fails with `code` and `text` when A holds `code`.
.macro fail_if_a code, text
    cmp #code
    bne :+
    result_fail code, text
:
.endmacro

; Fails unless the two bytes at address hold the address target.
.macro expect_word address, target, code, text
    lda address
    cmp #<target
    bne :+
    lda address + 1
    cmp #>target
    beq :++
:   result_fail code, text
:
.endmacro

; Busy-waits count x 1286 cycles.
.macro delay_blocks count
    ldy #count
    jsr delay_y_blocks
.endmacro

; Exactly n cycles (n >= 2, n <> 1 after whole blocks); uses Y and the flags.
.macro delay_cycles n
    .local blocks, rest, loops, fill
    blocks .set (n) / 1281
    .if (n) - blocks * 1281 = 1
        blocks .set blocks - 1
    .endif
    rest = (n) - blocks * 1281
    .repeat blocks
        ldy #0              ; 2 + 256 x 5 - 1 = 1281 cycles
    :   dey
        bne :-
    .endrepeat
    .if rest >= 7
        loops .set (rest - 1) / 5
        .if (rest - 1) - loops * 5 = 1
            loops .set loops - 1
        .endif
        ldy #loops          ; 2 + loops x 5 - 1 cycles
    :   dey
        bne :-
        fill = rest - loops * 5 - 1
    .else
        fill = rest
    .endif
    .if fill = 2
        nop
    .elseif fill = 3
        bit $00
    .elseif fill = 4
        nop
        nop
    .elseif fill = 5
        nop
        bit $00
    .elseif fill = 6
        nop
        nop
        nop
    .elseif fill <> 0
        .error "delay_cycles: no exact fill"
    .endif
.endmacro

.segment "CODE"

reset:
    start_cpu               ; no frame interrupt: I is cleared below
    lda #$00
    sta PPUCTRL
    sta PPUMASK
    sta nmi_count
    sta irq_count
    sta nest_mode
    result_begin

; ------------------------------------------------------- one NMI per frame
    lda #$80
    sta PPUCTRL
    wait_for_nmi
    lda nmi_count
    sta start_count
    ; 243 x 1286 = 312498 cycles: 10.49 frames of 29780.7 cycles. Exactly ten
    ; NMIs fall in that time, whatever the phase of the first one.
    delay_blocks 243
    lda nmi_count
    sec
    sbc start_count
    cmp #10
    beq nmi_count_ok
    bcs :+
    result_fail 1, "Fewer than 10 NMIs in 10.5 frames"
:   result_fail 2, "More than 10 NMIs in 10.5 frames"
nmi_count_ok:

    lda #$00
    sta PPUCTRL
    lda nmi_count
    sta start_count
    delay_blocks 70         ; three frames
    lda nmi_count
    cmp start_count
    beq :+
    result_fail 3, "NMI taken while disabled in $2000"
:

; -------------------------------------------- what an NMI pushes and keeps
    lda #$80
    sta PPUCTRL
    sed                     ; D and I as the interrupted code has them
    cli
    lda nmi_count
nmi_wait:
    cmp nmi_count           ; 2 bytes
    beq nmi_wait            ; 2 bytes
nmi_wait_end:
    sei
    cld
    lda #$00
    sta PPUCTRL
    .assert >nmi_wait = >nmi_wait_end, error, "the wait loop must sit in one page"
    expect_bits nmi_pushed_p, $10, $00, 4, "NMI must push P with bit 4 clear"
    expect_bits nmi_pushed_p, $20, $20, 5, "NMI must push P with bit 5 set"
    expect_bits nmi_pushed_p, $0C, $08, 6, "NMI must push the interrupted P (D set, I clear)"
    expect_bits nmi_entry_p, $04, $00, 7, "Taking an NMI must not set I"
    lda nmi_entry_p
    and #$CF
    sta start_count
    lda nmi_pushed_p
    and #$CF
    cmp start_count
    beq :+
    result_fail 8, "Taking an NMI must not change P"
:   lda nmi_ret + 1
    expect_a >nmi_wait, 9, "NMI must push the address of the next instruction"
    lda nmi_ret
    cmp #<nmi_wait
    beq :+
    cmp #<(nmi_wait + 2)
    beq :+
    result_fail 10, "NMI must push the address of the next instruction"
:

; ------------------------------------------------------- BRK with I clear
    lda #$00
    sta irq_count
    cli
    brk
    .byte $00               ; skipped; run again only after a wrong return
brk_return:
    sei
    lda irq_count
    bne :+
    result_fail 11, "BRK with I clear must enter the IRQ handler"
:   expect_a $01, 12, "The IRQ from BRK must return two bytes past it"
    expect_word irq_ret, brk_return, 13, "BRK must push the address two bytes past it"
    expect_bits irq_pushed_p, $30, $20, 14, "BRK's IRQ must push P with bit 4 clear, bit 5 set"
    expect_bits irq_entry_p, $04, $00, 15, "Taking an IRQ must not set I"

; --------------------------------------- BRK with I set, then CLI, PLP, RTI
    lda #$00
    sta irq_count
    ldx #$00
    sei
    brk
    inx                     ; skipped: BRK steps over the byte after it
    nop
    nop
    lda irq_count
    expect_a $00, 16, "BRK with I set must not interrupt"
    expect_x $00, 17, "BRK must skip the byte after it"
    cli
after_cli:
    sei
    lda irq_count
    expect_a $01, 18, "The IRQ latched by BRK must be taken after CLI"
    expect_word irq_ret, after_cli, 19, "The latched IRQ must be taken right after CLI"

    lda #$00
    sta irq_count
    brk
    nop
    lda #$00
    pha
    plp                     ; clears I (and every other flag)
after_plp:
    sei
    lda irq_count
    expect_a $01, 20, "The IRQ latched by BRK must be taken after PLP"
    expect_word irq_ret, after_plp, 21, "The latched IRQ must be taken right after PLP"

    lda #$00
    sta irq_count
    brk
    nop
    lda #>after_rti
    pha
    lda #<after_rti
    pha
    lda #$00
    pha
    rti                     ; clears I
after_rti:
    sei
    lda irq_count
    expect_a $01, 22, "The IRQ latched by BRK must be taken after RTI"
    expect_word irq_ret, after_rti, 23, "The latched IRQ must be taken right after RTI"

; ------------------------------------------------------ a nested request
    ; The handler starts with I clear, so a BRK inside it is taken at once.
    lda #$00
    sta irq_count
    sta nest_seen
    lda #$01
    sta nest_mode
    cli
    brk
    .byte $EA
    sei
    lda nest_seen
    expect_a $02, 24, "An IRQ raised inside a handler with I clear must nest"
    expect_word irq_ret, nested_return, 25, "The nested IRQ must return two bytes past its BRK"

; ------------------------------------------------- the vertical-blank flag
    lda #$80
    sta PPUCTRL
    wait_for_nmi                ; inside the vertical blank, no $2002 read since
    expect_bits PPUSTATUS, $80, $80, 40, "$2002 must show the vertical blank after the NMI"
    expect_bits PPUSTATUS, $80, $00, 41, "Reading $2002 must clear the vertical-blank flag"

    wait_for_nmi
    delay_blocks 3          ; 3858 cycles: past the 20 lines of the blank
    expect_bits PPUSTATUS, $80, $00, 42, "The vertical-blank flag must clear when the blank ends"

    ; With NMI off the flag still rises; poll it (three frames at most).
    lda #$00
    sta PPUCTRL
    lda PPUSTATUS
    ldy #0
    lda #28                 ; 28 x 256 x 13 cycles: about 3 frames
    sta timeout
poll:
    bit PPUSTATUS           ; 4
    bmi polled              ; 2
    dey                     ; 2
    bne poll                ; 3 (taken)
    dec timeout
    bne poll
    result_fail 43, "The vertical-blank flag did not rise with NMI off"
polled:
    ; Enabling NMI now, after the start of the blank, raises none this frame.
    nop
    nop
    lda nmi_count
    sta start_count
    lda #$80
    sta PPUCTRL
    delay_blocks 12         ; 15432 cycles: about half a frame
    lda nmi_count
    cmp start_count
    beq :+
    result_fail 44, "Enabling NMI inside the blank must not raise one"
:   delay_blocks 23         ; the next frame's NMI comes
    lda nmi_count
    sec
    sbc start_count
    expect_a $01, 45, "Enabling NMI must raise one at the next frame"
    lda #$00
    sta PPUCTRL

; ------------------------------------------ the read in the flag's own dot
    ; Reads $2002 once early in the vertical blank and once 1000 cycles later,
    ; in 96 frames, each pair one dot later in the frame than the one before
    ; (the loop lasts 29781 cycles, 89343 dots, one more than a frame with
    ; rendering off). The first reads sweep across the dot in which the flag
    ; rises. Before it, the first read sees 0 and the second 1; after it, the
    ; first sees 1 and clears the flag, so the second sees 0. A first read in
    ; that very dot sees 0 and keeps the flag from rising at all: both reads of
    ; that one frame see 0.
    ;
    ; NMI is on during the sweep, so each loop also holds one NMI (its entry
    ; and handler cost NMI_CYCLES). The NMI request comes 20 dots after the
    ; flag rises, and the CPU takes it before its next instruction. The NMI
    ; count is read by the instruction after the first read, 4 cycles (12
    ; dots) later: it includes this frame's NMI once the first read is at dot
    ; 350 or later (12 dots before it, the request is already waiting), that
    ; is exactly 9 frames after the frame whose read fell in the flag's dot
    ; (dot 341).
    lda PPUSTATUS
:   bit PPUSTATUS
    bpl :-                  ; this read was 342-362 dots into the frame
    lda #$80
    sta PPUCTRL             ; too late for an NMI in this frame
    ; 29761 cycles to the first sweep read: dot 285-305 of the next frame,
    ; so that the flag's dot comes near the middle of the sweep.
    delay_cycles 29753 - 6
    ldx #0
sweep:
    lda PPUSTATUS           ; 4
    ldy nmi_count           ; 3
    sta first_reads,x       ; 5
    tya                     ; 2
    sta nmi_reads,x         ; 5
    delay_cycles 1000 - 19
    lda PPUSTATUS           ; 4
    sta second_reads,x      ; 5
    delay_cycles 29781 - 1000 - 18 - NMI_CYCLES
    inx                     ; 2
    cpx #SWEEP_FRAMES       ; 2
    beq :+                  ; 2
    jmp sweep               ; 3
:   lda #$00
    sta PPUCTRL

    jsr check_sweep
    fail_if_a 30, "A $2002 read must clear the vertical-blank flag"
    fail_if_a 31, "The $2002 sweep must start before the flag rises"
    fail_if_a 32, "A read in the flag's dot must keep it clear all frame"
    fail_if_a 33, "The flag rose in more than one dot of the sweep"
    fail_if_a 34, "The $2002 sweep must end after the flag rises"
    fail_if_a 35, "One NMI per frame during the sweep"
    fail_if_a 36, "The NMI must come 20 dots after the flag rises"
    result_pass

; Each frame of the sweep as (first bit 7, second bit 7) must read 0-1 ...
; 0-1, then 0-0 exactly once, then 1-0 ... 1-0. Returns A = 0 (and Z set)
; when they do, else the number of the failed check.
check_sweep:
    ldx #0
:   jsr sweep_class
    cmp #3
    beq @both_set
    inx
    cpx #SWEEP_FRAMES
    bne :-
    ldx #0
    jsr sweep_class
    cmp #1
    bne @late_start
:   inx
    cpx #SWEEP_FRAMES
    beq @early_end
    jsr sweep_class
    cmp #1
    beq :-
    cmp #0
    bne @no_race
    stx race_frame
:   inx
    cpx #SWEEP_FRAMES
    beq @end
    jsr sweep_class
    cmp #2
    beq :-
    lda #33
    rts
@end:
    dex
    jsr sweep_class
    cmp #2
    bne @early_end
    ; The NMI count less the frame number: one value, then one more from the
    ; frame on whose NMI came before the count was read.
    lda nmi_reads
    sta nmi_base
    ldx #0
:   txa
    eor #$FF
    sec
    adc nmi_reads,x         ; count - x
    cmp nmi_base
    bne :+
    inx
    cpx #SWEEP_FRAMES
    bne :-
    beq @nmi_late           ; never moved
:   sec
    sbc nmi_base
    cmp #1
    bne @nmi_uneven
    txa
    sec
    sbc race_frame
    cmp #9
    bne @nmi_late
:   txa                     ; the rest must stay one more
    eor #$FF
    sec
    adc nmi_reads,x
    sec
    sbc nmi_base
    cmp #1
    bne @nmi_uneven
    inx
    cpx #SWEEP_FRAMES
    bne :-
    lda #0
    rts
@nmi_uneven:
    lda #35
    rts
@nmi_late:
    lda #36
    rts
@both_set:
    lda #30
    rts
@late_start:
    lda #31
    rts
@no_race:
    lda #32
    rts
@early_end:
    lda #34
    rts

; A = bit 7 of the frame's first read x 2 + bit 7 of its second read, for
; frame X of the sweep.
sweep_class:
    lda first_reads,x
    asl a
    lda #0
    rol a
    asl a
    sta sweep_bits
    lda second_reads,x
    asl a
    lda #0
    rol a
    ora sweep_bits
    rts

; Y x (1281 + 5) cycles.
delay_y_blocks:
    ldx #0
:   dex
    bne :-
    dey
    bne delay_y_blocks
    rts

; Both handlers record what the interrupt pushed and the flags they start
; with, then return leaving every register as it was.

; Saves P, A and X, and notes P on entry, the P the interrupt pushed and the
; return address it pushed (2 bytes).
.macro handler_entry entry_p, pushed_p, ret
    php
    pha
    txa
    pha
    tsx                     ; $0101,X: X  $0102,X: A  $0103,X: P on entry
    lda $0103,x             ; $0104,X: pushed P  $0105,X/$0106,X: return
    sta entry_p
    lda $0104,x
    sta pushed_p
    lda $0105,x
    sta ret
    lda $0106,x
    sta ret + 1
.endmacro

.macro handler_exit
    pla
    tax
    pla
    plp
    rti
.endmacro

nmi:
    handler_entry nmi_entry_p, nmi_pushed_p, nmi_ret
    inc nmi_count
    handler_exit

irq:
    handler_entry irq_entry_p, irq_pushed_p, irq_ret
    inc irq_count
    lda nest_mode
    beq :+
    lda #$00
    sta nest_mode
    brk
    .byte $EA
nested_return:
    lda irq_count
    sta nest_seen
:   handler_exit

vectors
