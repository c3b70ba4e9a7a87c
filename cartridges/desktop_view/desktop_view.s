; A picture, a key, a tone and battery RAM: what the desktop shell's test
; looks for from outside the program.
;
; - The screen is one backdrop colour (the byte at $FFF0) with a white block
;   in the middle; while A (the Space key) is held the backdrop takes the
;   colour at $FFF1 instead.
; - Pulse 1 plays a steady 440 Hz tone.
; - The cartridge has battery RAM: at every power-up or reset the program
;   writes "CORVEL" at $7000 and counts the boots at $7020, so the battery
;   file shows whether it was read back; every frame adds one to the 24-bit
;   frame count at $6000-$6002, so a file written while the game runs shows
;   how far it had got.

.include "cartridge.inc"

ines_header 2, 1, 0, 2          ; 32 KB PRG, 8 KB CHR, NROM, battery

BOOT_COUNT  = $7020
SIGNATURE   = $7000
FRAME_COUNT = $6000

.segment "ZEROPAGE"
buttons:     .res 1
frame_done:  .res 1

.segment "COLOURS"
backdrop_colour: .byte $16      ; red
pressed_colour:  .byte $28      ; yellow

.segment "CODE"

reset:
    start_cpu
    lda #0
    sta PPUCTRL
    sta PPUMASK
    sta buttons
    sta frame_done

    ; The PPU needs two vertical blanks to warm up.
    wait_for_ppu

    inc BOOT_COUNT
    ldx #0
copy_signature:
    lda signature, x
    sta SIGNATURE, x
    inx
    cpx #6
    bne copy_signature

    ; Nametable 0 and its attributes: all tile 0, palette 0.
    ppu_at $2000
    ldx #4
    ldy #0
    lda #0
clear:
    sta PPUDATA
    iny
    bne clear
    dex
    bne clear

    ; The white block: tile 1 over rows 11-18, columns 12-19.
    ldx #11
block_row:
    txa                         ; address = $2000 + row * 32 + 12
    lsr a
    lsr a
    lsr a
    ora #$20
    sta PPUADDR
    txa
    asl a
    asl a
    asl a
    asl a
    asl a
    ora #12
    sta PPUADDR
    ldy #8
    lda #1
block_column:
    sta PPUDATA
    dey
    bne block_column
    inx
    cpx #19
    bne block_row

    ; Background palette 0: backdrop, then colour 3 white.
    ppu_at $3F00
    lda backdrop_colour
    sta PPUDATA
    lda #$0F
    sta PPUDATA
    sta PPUDATA
    lda #$30
    sta PPUDATA

    ; Pulse 1: 50% duty, constant volume 15, length counter halted,
    ; period 253 (1789773 / 16 / 254 = 440 Hz).
    lda #$01
    sta APUSTATUS
    lda #$BF
    sta $4000
    lda #$08
    sta $4001
    lda #$FD
    sta $4002
    lda #$00
    sta $4003

    jsr reset_scroll
    lda #$0A                    ; background on, left column included
    sta PPUMASK

main:
    jsr read_buttons
wait_frame:
    lda frame_done
    beq wait_frame
    lda #0
    sta frame_done
    jmp main

; Latches the controller and shifts its eight buttons into `buttons`
; (bit 0 A ... bit 7 Right).
read_buttons:
    lda #1
    sta JOYPAD1
    lda #0
    sta JOYPAD1
    ldx #8
read_bit:
    lda JOYPAD1
    lsr a
    ror buttons
    dex
    bne read_bit
    rts

; Points the PPU back at the top-left of nametable 0 and enables the NMI.
reset_scroll:
    ppu_at $2000
    sta PPUSCROLL
    sta PPUSCROLL
    lda #$80
    sta PPUCTRL
    rts

nmi:
    pha
    inc FRAME_COUNT
    bne counted
    inc FRAME_COUNT + 1
    bne counted
    inc FRAME_COUNT + 2
counted:
    ppu_at $3F00
    lda buttons
    and #$01
    beq use_backdrop
    lda pressed_colour
    jmp set_colour
use_backdrop:
    lda backdrop_colour
set_colour:
    sta PPUDATA
    jsr reset_scroll
    lda #1
    sta frame_done
    pla
    rti

irq:
    rti

signature:
    .byte "CORVEL"

vectors

.segment "CHARS"
    .res 16, $00                ; tile 0: colour 0
    .res 16, $FF                ; tile 1: colour 3
