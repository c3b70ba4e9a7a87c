; Plays known notes on each sound channel in turn, timed by the APU's own
; frame interrupt (60 a second in four-step mode), and checks the length
; counters through the $4015 status read on the way.
;
; The notes (frame = one frame interrupt; every note lasts 30 frames and is
; followed by 10 frames of silence; note n starts at frame 2 + 40 n):
;   0  pulse 1, duty 2 (half),     period 253   440.4 Hz
;      (notes 0-8 load a long length counter, 254 half-frames)
;   1  pulse 1, duty 0,            period 201   553.6 Hz, length halted
;   2  pulse 1, duty 1,            period 169   658.0 Hz
;   3  pulse 2, duty 2,            period 379   294.4 Hz
;   4  pulse 1, duty 2, sweep down period 400, negate, shift 4, divider 4:
;      the pitch rises while the note plays
;   5  triangle,                   timer 253    220.2 Hz
;   6  triangle,                   timer 126    440.4 Hz
;   7  noise, long mode,           period index 4
;   8  noise, short mode,          period index 4
;   9  pulse 1, duty 2, period 253, length counter 40 (20 frames), not
;      halted: sounds for 20 frames and stops by itself
; A pulse sounds at 1789773 / (16 x (P + 1)) Hz, the triangle at
; 1789773 / (32 x (T + 1)) Hz.
;
; The program then reports through the $6000 result protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

.segment "ZEROPAGE"
frames: .res 1          ; counts frame interrupts
target: .res 1

.segment "CODE"

; Waits until the frame counter has advanced by n.
.macro wait n
    lda #n
    jsr wait_frames
.endmacro

; Silence for 10 frames, then every channel enabled again. Clearing the
; enables also empties the length counters.
.macro rest
    lda #0
    sta APUSTATUS
    wait 10
    lda #$0F
    sta APUSTATUS
.endmacro

.macro set reg, value
    lda #value
    sta reg
.endmacro

; Fails with the given status unless ($4015 AND mask) equals expected.
.macro expect_status mask, expected, status, text
    .local ok
    lda APUSTATUS
    and #mask
    cmp #expected
    beq ok
    result_fail status, text
ok:
.endmacro

reset:
    sei
    cld
    ldx #$FF
    txs
    result_begin
    lda #0
    sta frames
    sta PPUCTRL             ; no vertical-blank NMI: the APU keeps the time
    sta APUSTATUS
    expect_status $0F, $00, 2, "LENGTHS NOT CLEAR"
    ; Four-step sequence with its frame interrupt: the one clock we use.
    sta APUFRAME
    lda #$0F
    sta APUSTATUS
    cli
    wait 2

    ; 0: pulse 1, duty 2, 440 Hz
    set $4001, $00
    set $4000, $9F
    set $4002, 253
    set $4003, $08
    expect_status $01, $01, 3, "PULSE 1 LENGTH NOT LOADED"
    wait 30
    rest

    ; 1: pulse 1, duty 0; the length counter (10 half-frames) is halted, so
    ; the note still lasts its 30 frames
    set $4000, $3F
    set $4002, 201
    set $4003, $00
    wait 30
    rest

    ; 2: pulse 1, duty 1
    set $4000, $5F
    set $4002, 169
    set $4003, $08
    wait 30
    rest

    ; 3: pulse 2, duty 2, period 379 = $17B
    set $4005, $00
    set $4004, $9F
    set $4006, $7B
    set $4007, $09
    expect_status $02, $02, 4, "PULSE 2 LENGTH NOT LOADED"
    wait 30
    rest

    ; 4: pulse 1, sweep: enabled, divider 3 (every 4th half-frame), negate,
    ; shift 4; period 400 = $190
    set $4000, $9F
    set $4002, $90
    set $4003, $09
    set $4001, $BC
    wait 30
    set $4001, $00
    rest

    ; 5: triangle, timer 253, linear counter held (control bit set)
    set $4008, $FF
    set $400A, 253
    set $400B, $08
    expect_status $04, $04, 5, "TRIANGLE LENGTH NOT LOADED"
    wait 30
    rest

    ; 6: triangle, timer 126
    set $4008, $FF
    set $400A, 126
    set $400B, $08
    wait 30
    rest

    ; 7: noise, long mode, constant volume 15
    set $400C, $1F
    set $400E, $04
    set $400F, $08
    expect_status $08, $08, 6, "NOISE LENGTH NOT LOADED"
    wait 30
    rest

    ; 8: noise, short mode
    set $400C, $1F
    set $400E, $84
    set $400F, $08
    wait 30
    rest

    ; 9: pulse 1 with a running length counter: index 4 loads 40 half-frames
    set $4000, $9F
    set $4002, 253
    set $4003, $20
    wait 10
    expect_status $01, $01, 7, "LENGTH ENDED TOO SOON"
    wait 12
    expect_status $01, $00, 8, "LENGTH DID NOT END"
    wait 8
    rest

    ; Clearing the enables empties every length counter.
    set $4003, $08
    set $400B, $08
    set $400F, $08
    expect_status $0F, $0D, 9, "LENGTHS NOT LOADED"
    set APUSTATUS, $00
    expect_status $0F, $00, 10, "DISABLE DID NOT CLEAR LENGTHS"

    result_pass

; Waits until frames has advanced by A.
wait_frames:
    clc
    adc frames
    sta target
@loop:
    lda frames
    cmp target
    bne @loop
    rts

; The frame interrupt. Requests are plain latches here: taking one is all the
; acknowledgement it needs.
irq:
    inc frames
    rti

nmi:
    rti

vectors
