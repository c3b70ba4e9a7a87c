; The MMC3 scanline counter, measured from a running frame. Background
; patterns come from $0000 and sprite patterns from $1000, so PPU address
; line A12 rises once per rendered line, at the line's first sprite fetch
; (264 dots into the line, after its 256 pixels and 8 dots of the sprite
; stage), and the counter counts lines. The pre-render line fetches as a
; visible line does and gives the first edge of the frame.
;
; The main loop counts iterations of a fixed-length loop. The NMI and IRQ
; handlers, both of fixed length, log each event with the loop count at
; that moment; the NMI handler also reloads the counter for the new frame
; ($C000 latch, $C001 reload, $E001 or $E000). Each phase runs until its
; third NMI, then the log of the last whole frame (second NMI to third NMI;
; the log starts afresh at the second) is checked: the number of IRQs, the
; line the first one lands on, and the lines between consecutive ones, in
; loop iterations.
;
; Timing (CPU cycles; 341 dots per line, 3 dots per cycle):
;   loop: 8 cycles per iteration, 18 once every 256: 8.039 on average
;   NMI handler, entry to RTI: 158 cycles. IRQ handler: 81 cycles.
;   The NMI comes 361 dots into the frame; the pre-render line starts 7161
;   dots in, line L at 7502 + 341 L.
;   With latch N the pre-render line's edge loads the counter with N, and
;   the first IRQ lands N edges later, on line N - 1; the next N + 1 lines
;   later. Latch 0 requests on every edge, the pre-render line's included.
;   Latch 20: first IRQ on line 19, (7502 + 19 * 341 + 264 - 361) / 3 - 158
;   cycles after the NMI's log entry = 556 iterations; the gap 21 lines =
;   (21 * 341) / 3 - 81 cycles = 287 iterations; 11 IRQs per frame (lines
;   19, 40, ... 229).
;   Latch 3: first on line 2 = 316 iterations; the gap 4 lines = 46
;   iterations; 60 IRQs per frame (lines 2, 6, ... 238).
;   Latch 0: first on the pre-render line, (7161 + 264 - 361) / 3 - 158
;   cycles = 273 iterations; the gap 1 line = 4 iterations; 241 IRQs per
;   frame.
; Every window is +-7 iterations: half a line.
.include "cartridge.inc"

ines_header 2, 1, 4, 0

prg_tags 4

.segment "CHARS"
    .res 8192, $00

TOLERANCE = 7

log_type = $0400          ; 1 NMI, 2 IRQ
log_lo   = $0500
log_hi   = $0600
log_pc   = $0700          ; low byte of the address the event interrupted

.segment "ZEROPAGE"
count_lo:    .res 1
count_hi:    .res 1
log_index:   .res 1
nmi_count:   .res 1
stop:        .res 1
latch:       .res 1
enable_ptr:  .res 2       ; $E001 to enable requests, $E000 to disable them
i_next:      .res 1       ; I flag the NMI gives back to the loop ($04 or 0)
i_after:     .res 1       ; ... and the one for the NMI after that
logged_before: .res 8     ; log entries before the NMI, by nmi_count
event_pc:    .res 1
; Expected shape of the checked frame.
want_count:  .res 1
want_first:  .res 2
want_gap:    .res 2
; Scratch for the checks.
nmi2:        .res 1
nmi3:        .res 1
delta:       .res 2
value:       .res 2
bound:       .res 2
position:    .res 1

.segment "CODE"

; ---------------------------------------------------------------- handlers

nmi:
    pha
    txa
    pha
    tya
    pha
    tsx
    lda $0105, x          ; where the loop was interrupted (return address, low)
    sta event_pc
    ; The second NMI starts the log afresh (keep_log), so that it holds
    ; the frame to be checked; what came before is counted in
    ; logged_before. The same length for every NMI.
    ldy nmi_count
    lda log_index
    sta logged_before, y
    and keep_log, y
    tax
    lda event_pc
    sta log_pc, x
    lda #1
    sta log_type, x
    lda count_lo
    sta log_lo, x
    lda count_hi
    sta log_hi, x
    inx
    stx log_index
    lda latch
    sta $C000
    sta $C001
    ldy #0
    sta (enable_ptr), y
    tsx
    lda $0104, x          ; the P the loop gets back
    and #$FB
    ora i_next
    sta $0104, x
    lda i_after
    sta i_next
    inc nmi_count
    lda nmi_count
    cmp #3
    bcc nmi_done
    sta stop
nmi_done:
    pla
    tay
    pla
    tax
    pla
    rti

irq:
    pha
    txa
    pha
    tsx
    lda $0104, x          ; where the loop was interrupted (return address, low)
    ldx log_index
    sta log_pc, x
    lda #2
    sta log_type, x
    lda count_lo
    sta log_lo, x
    lda count_hi
    sta log_hi, x
    inc log_index
    sta $E000             ; acknowledge
    sta $E001             ; and enable again
    pla
    tax
    pla
    rti

; AND mask for the log index at each NMI, by nmi_count: the second NMI
; (nmi_count 1) starts the log afresh.
keep_log:
    .byte $FF, $00, $FF, $FF, $FF, $FF, $FF, $FF

; ---------------------------------------------------------------- phases

; Runs one phase: latch A, requests enabled when X is 1, the loop's I flag
; Y ($04 set, 0 clear) during the first frame and clear afterwards.
run_phase:
    pha
    ; Start right after an NMI. Until then (and for that NMI) requests stay
    ; off and the I flag set.
    sei
    sta $E000
    lda #$00
    sta enable_ptr
    lda #$E0
    sta enable_ptr + 1
    lda #$04
    sta i_next
    sta i_after
    wait_for_nmi
    pla
    sta latch
    txa
    ora enable_ptr
    sta enable_ptr
    sty i_next
    lda #0
    sta i_after
    sta log_index
    sta nmi_count
    sta stop
    sta count_lo
    sta count_hi
    cpy #0
    bne count
    cli
count:
    inc count_lo
count_wrapped:            ; an event here, with the low byte just wrapped to
    bne count             ; 0, or here sees the high byte not yet incremented
count_carry:
    inc count_hi
    lda stop
    beq count
    sei
    sta $E000
    rts

; Finds the log positions of the second NMI (the log's first entry) and
; the third.
find_frame:
    ldx #0
    stx nmi2
scan:
    inx
    beq scan_end
    lda log_type, x
    cmp #1
    bne scan
scan_end:
    stx nmi3
    rts

; delta = log[X + 1] - log[X] (16 bits)
interval:
    jsr entry_value
    lda value
    sta delta
    lda value + 1
    sta delta + 1
    inx
    jsr entry_value
    dex
    lda value
    sec
    sbc delta
    sta delta
    lda value + 1
    sbc delta + 1
    sta delta + 1
    rts

; value = the count of log entry X, with the carry into the high byte that
; the loop had not yet made when the event came between its two increments.
entry_value:
    lda log_lo, x
    sta value
    lda log_hi, x
    sta value + 1
    lda log_lo, x
    bne entry_done
    lda log_pc, x
    cmp #<count_wrapped
    beq entry_carry
    cmp #<count_carry
    bne entry_done
entry_carry:
    inc value + 1
entry_done:
    rts

; Carry clear when delta lies within want (the 16-bit value at Y in zero
; page) +-TOLERANCE.
delta_near:
    lda 0, y
    sec
    sbc #TOLERANCE
    sta bound
    lda 1, y
    sbc #0
    sta bound + 1
    bcs lower_bound_set   ; want - tolerance below 0: no lower bound
    lda #0
    sta bound
    sta bound + 1
lower_bound_set:
    lda delta             ; delta < want - tolerance: out
    cmp bound
    lda delta + 1
    sbc bound + 1
    bcc near_out
    lda 0, y
    clc
    adc #TOLERANCE
    sta bound
    lda 1, y
    adc #0
    sta bound + 1
    lda bound             ; want + tolerance < delta: out
    cmp delta
    lda bound + 1
    sbc delta + 1
    bcc near_out
    clc
    rts
near_out:
    sec
    rts

; Checks the frame between the second and third NMI against want_*.
; Carry set on failure, with A = 1 (count), 2 (first IRQ's line) or 3 (gap).
check_frame:
    jsr find_frame
    lda nmi3
    clc
    sbc nmi2              ; events between them: nmi3 - nmi2 - 1
    cmp want_count
    beq count_ok
    lda #1
    sec
    rts
count_ok:
    cmp #0
    beq frame_ok
    ldx nmi2
    jsr interval
    ldy #want_first
    jsr delta_near
    bcc first_ok
    lda #2
    rts
first_ok:
    ldx nmi2
gaps:
    inx
    txa
    clc
    adc #1
    cmp nmi3
    beq frame_ok          ; the last IRQ: the interval after it ends the frame
    stx position          ; keep X across the calls
    jsr interval
    ldy #want_gap
    jsr delta_near
    bcs gap_bad
    ldx position
    jmp gaps
gap_bad:
    lda #3
    sec
    rts
frame_ok:
    clc
    rts

; Runs one phase: latch `latch`, requests enabled when `enable` is 1, the
; loop's I flag `i_flag` ($04 set, 0 clear) during the first frame.
.macro phase latch, enable, i_flag
    lda #latch
    ldx #enable
    ldy #i_flag
    jsr run_phase
.endmacro

; Checks the phase's last frame: `count` IRQs, the first `first` loop
; iterations after the NMI, then one every `gap`. On failure (A = 1, 2 or 3
; from check_frame) stops with base + A - 1 and its text.
.macro expect_frame count, first, gap, base, label
    .local not_count, not_first, failed, passed
    lda #count
    sta want_count
    lda #<first
    sta want_first
    lda #>first
    sta want_first + 1
    lda #<gap
    sta want_gap
    lda #>gap
    sta want_gap + 1
    jsr check_frame
    bcs failed
    jmp passed
failed:
    cmp #1
    bne not_count
    result_fail base, .concat(label, ": WRONG IRQ COUNT")
not_count:
    cmp #2
    bne not_first
    result_fail base + 1, .concat(label, ": FIRST IRQ ON WRONG LINE")
not_first:
    result_fail base + 2, .concat(label, ": WRONG LINES BETWEEN IRQS")
passed:
.endmacro

reset:
    cartridge_start

    ; Eight empty sprite slots on every line: all sprites below the screen.
    lda #$FF
    ldx #0
fill_oam:
    sta $0200, x
    inx
    bne fill_oam
    send_oam $0200

    lda #0
    sta nmi_count
    sta log_index
    sta i_next
    sta i_after
    sta latch
    lda #$00
    sta enable_ptr
    lda #$E0
    sta enable_ptr + 1
    ; NMI on, background patterns at $0000, sprite patterns at $1000.
    lda #$88
    sta PPUCTRL
    lda #$18
    sta PPUMASK

    ; Latch 20: eleven requests a frame, every 21 lines from line 19.
    phase 20, 1, 0
    expect_frame 11, 556, 287, 2, "LATCH 20"

    ; Latch 3: every 4 lines from line 2.
    phase 3, 1, 0
    expect_frame 60, 316, 46, 15, "LATCH 3"

    ; Latch 0: a request on every line, the pre-render line first.
    phase 0, 1, 0
    expect_frame 241, 273, 4, 5, "LATCH 0"

    ; Requests disabled: the counter runs, nothing is requested.
    phase 20, 0, 0
    expect_frame 0, 0, 0, 8, "DISABLED"

    ; A request that falls while I is set is lost: a first frame with I set
    ; logs nothing but its NMI, and the frame after it (I clear) starts on
    ; line 19 as usual, not with a request left over.
    phase 20, 1, $04
    lda logged_before + 1 ; before the second NMI: the first one only
    cmp #1
    beq masked_frame_empty
    result_fail 11, "I SET: IRQ TAKEN"
masked_frame_empty:
    expect_frame 11, 556, 287, 12, "AFTER I SET"

    result_pass

vectors
