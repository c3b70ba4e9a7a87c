; A program that starts and finishes within its first frame: the status goes
; from $80 (running) to 0 (passed) long before the frame ends, so the headless
; tool only sees the result if it watched the write of $80 as it happened.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

.segment "CODE"

reset:
    start_up
    result_begin
    result_pass

nmi:
irq:
    rti

vectors

.segment "CHARS"
    .res 8192, 0
