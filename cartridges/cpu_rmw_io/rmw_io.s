; Read-modify-write instructions on an I/O port. On this console's CPU every
; instruction makes only the accesses it needs: a read-modify-write reads its
; operand once and writes the result once, with no dummy read and no dummy
; write of the old value. The PPU's data port shows this, because each access
; to $2007 moves the PPU address on by one.
;
; Each check reports its own status code and text through the $6000 protocol.

.include "cartridge.inc"

ines_header 2, 1, 0, 0

; Sets the PPU address.
.macro ppu_address address
    lda PPUSTATUS           ; first write of the pair comes next
    lda #>address
    sta PPUADDR
    lda #<address
    sta PPUADDR
.endmacro

; Stores four bytes at $2000-$2003 of the PPU.
.macro fill_2000 b0, b1, b2, b3
    ppu_address $2000
    lda #b0
    sta PPUDATA
    lda #b1
    sta PPUDATA
    lda #b2
    sta PPUDATA
    lda #b3
    sta PPUDATA
.endmacro

; Checks $2000-$2003 of the PPU against four bytes.
.macro expect_2000 b0, b1, b2, b3, code, text
    ppu_address $2000
    lda PPUDATA             ; the delayed read: fills the buffer
    lda PPUDATA
    expect_a b0, code, text
    lda PPUDATA
    expect_a b1, code + 1, text
    lda PPUDATA
    expect_a b2, code + 2, text
    lda PPUDATA
    expect_a b3, code + 3, text
.endmacro

.segment "CODE"

reset:
    start_cpu
    lda #$00
    sta PPUCTRL     ; NMI off, the address steps by 1
    sta PPUMASK     ; rendering off: $2007 may be used at any time
    result_begin
    jsr wait_frames

    ; INC $2007 with the address at $2001 and $11 in the read buffer: one
    ; read returns $11 (the buffer) and moves on to $2002, one write stores
    ; $12 there. A dummy write of $11 first would leave $11 at $2002 and $12
    ; at $2003; a second read would move the write on to $2003.
    fill_2000 $11, $22, $33, $44
    ppu_address $2000
    lda PPUDATA             ; buffer = $11, address $2001
    inc PPUDATA
    expect_2000 $11, $22, $12, $44, 1, "INC $2007 must read once and write once"

    ; The same for a shift: ASL $2007 writes $22 (from $11) at $2002.
    fill_2000 $11, $22, $33, $44
    ppu_address $2000
    lda PPUDATA
    asl PPUDATA
    expect_2000 $11, $22, $22, $44, 5, "ASL $2007 must read once and write once"

    ; A store writes once and reads nothing: STA $2007 at $2001.
    fill_2000 $11, $22, $33, $44
    ppu_address $2001
    lda #$5A
    sta PPUDATA
    expect_2000 $11, $5A, $33, $44, 9, "STA $2007 must write once"

    ; A load reads once: two LDA $2007 from $2000 leave the address at $2002,
    ; so a following STA lands there.
    fill_2000 $11, $22, $33, $44
    ppu_address $2000
    lda PPUDATA
    lda PPUDATA
    lda #$77
    sta PPUDATA
    expect_2000 $11, $22, $77, $44, 13, "LDA $2007 must read once"

    result_pass

    result_wait_frames_routine

    result_unexpected_interrupts

vectors
