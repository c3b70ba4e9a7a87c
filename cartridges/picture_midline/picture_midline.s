; Mask and palette writes in the middle of a line.
;
; The picture starts as nametable 0 with background and sprites shown.
; Sprite 0 sits on an opaque tile at line 100; after its hit the program waits
; until about the middle of line 101, switches the background off (the rest
; of the line shows the backdrop, colour $01) and then writes a new backdrop
; colour, $38, which shows from the pixel where the write lands. The rest of
; the picture is the new backdrop with sprite 0 over it. The vertical-blank
; handler restores the backdrop, the mask and the scroll.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 0, 1          ; vertical arrangement

OAM_PAGE = $0200
src = $00
nmi_count = $02

.segment "CODE"

reset:
    start_up_and_wait_for_ppu

    load_palette palette

    copy_nametable nametable0, src

    hide_sprites OAM_PAGE
    lda #99                     ; sprite 0: solid, palette 1, at (64, 100)
    sta OAM_PAGE
    lda #1
    sta OAM_PAGE + 1
    sta OAM_PAGE + 2
    lda #64
    sta OAM_PAGE + 3
    send_oam OAM_PAGE

    wait_vblank
    jsr restore
    wait_for_nmi

frame:
@wait_clear:
    bit PPUSTATUS
    bvs @wait_clear
@wait_hit:
    bit PPUSTATUS
    bvc @wait_hit
    ldx #9                      ; to about the middle of line 101
@delay:
    dex
    bne @delay
    lda #$16                    ; background off, sprites still on
    sta PPUMASK
    ppu_at $3F00
    lda #$38                    ; the new backdrop
    sta PPUDATA
    wait_for_nmi
    jmp frame

; Backdrop $01, background and sprites on, scroll at the top left.
restore:
    bit PPUSTATUS
    ppu_at $3F00
    lda #$01
    sta PPUDATA
    lda #$88                    ; NMI on, sprites from $1000
    sta PPUCTRL
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda #$1E
    sta PPUMASK
    rts

nmi:
    pha
    txa
    pha
    jsr restore
    inc nmi_count
    pla
    tax
    pla
irq:
    rti

    picture_palette palette

    picture_nametable nametable0, {((i .mod 32) + 2 * (i / 32)) .mod 6}, 37, 11

vectors
