; Status-bar style splits made by the MMC3 scanline counter: the picture is
; cut into three bands, each scrolled further right than the one above.
;
; Background patterns come from $0000 and sprite patterns from $1000 (all
; sprites hidden, so every line fetches eight empty slots at $1FF0), which
; gives one rising edge of PPU A12 per line, the pre-render line included.
; The vertical-blank handler loads the counter with BAND1_LATCH; its edge on
; the pre-render line takes the latch, and the interrupt comes on line
; BAND1_LATCH - 1, 264 dots in. The main loop is a jump to itself, and the
; interrupt handler writes the scroll before anything else, inside that
; line's horizontal blank: line BAND1_LATCH is the first line drawn with the
; new scroll. The handler also sets the latch for the next band, which the
; next edge takes: the second interrupt comes BAND2_LATCH + 1 lines after
; the first, and line BAND1_LATCH + BAND2_LATCH + 1 is the first of the
; third band.
;
; Only the horizontal scroll changes: the handler's first $2005 write sets
; fine X at once and coarse X in the latch that the end of the line copies;
; the second write (vertical) waits for the next frame, whose vertical-blank
; handler sets both again.
;
; Horizontal arrangement: nametables 0 and 1 share one block, so a scrolled
; line wraps round to its own left edge.

.include "cartridge.inc"
.include "picture_tiles.inc"

ines_header 2, 1, 4, 0          ; MMC3, 32 KB PRG, 8 KB CHR, horizontal
fixed_prg $2000                 ; the code in the last 8 KB, fixed at $E000

OAM_PAGE = $0200

BAND1_LATCH = 80                ; band 2 from line 80
BAND1_X     = 3 * 8 + 5
BAND2_LATCH = 60                ; band 3 from line 80 + 60 + 1 = 141
BAND2_X     = 12 * 8 + 4

.segment "ZEROPAGE"
src:        .res 2
bands_left: .res 1

.segment "CODE"

reset:
    start_up_and_wait_for_ppu

    ; CHR in its own order: 2 KB banks 0 and 2 at $0000, 1 KB banks 4-7 at
    ; $1000.
    ldx #0
@bank:
    stx $8000
    lda chr_banks, x
    sta $8001
    inx
    cpx #6
    bne @bank

    load_palette palette
    copy_nametable nametable0, src
    hide_sprites OAM_PAGE
    send_oam OAM_PAGE

    wait_vblank
    jsr start_frame
    lda #$1E                    ; both shown, also in the leftmost 8 columns
    sta PPUMASK
    lda #BAND1_X                ; A holds the next band's scroll
    cli
forever:
    jmp forever

; The top band: no scroll, the counter reloaded, requests on.
start_frame:
    bit PPUSTATUS
    lda #$88                    ; NMI on, sprites from $1000, background from $0000
    sta PPUCTRL
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda #BAND1_LATCH
    sta $C000
    sta $C001
    sta $E001
    lda #2
    sta bands_left
    rts

; The main loop does not use A, so the handlers need not keep it: it holds
; the scroll of the band the next interrupt starts.
nmi:
    jsr start_frame
    lda #BAND1_X
    rti

irq:
    sta PPUSCROLL               ; the new band's horizontal scroll, first
    sta PPUSCROLL
    lda #BAND2_LATCH
    sta $C000
    lda #BAND2_X
    dec bands_left
    bne @more
    sta $E000                   ; the last band: no more requests this frame
@more:
    rti

chr_banks:
    .byte 0, 2, 4, 5, 6, 7

    picture_palette palette

; Tile of column c, row r: (c + 2r) mod 6; attribute byte a: (37a + 11) mod 256.
    picture_nametable nametable0, {((i .mod 32) + 2 * (i / 32)) .mod 6}, 37, 11

vectors
