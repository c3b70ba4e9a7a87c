; Corvel's demo cartridge: "Corvel, a raven's flight".
;
; The raven flies over a landscape that scrolls to the left under a fixed
; status bar. The D-pad moves it, A throws a feather, B dashes (and rams
; whatever is in the way). Blue gems are worth 10 points, the rare fire gems
; 100, bats 50, and every 16 pixels flown 1. Three hearts; a bat that touches the raven takes one. The
; best score is kept in battery RAM.
;
; What the program shows of the machine:
; - MMC1 (iNES mapper 1) with 128 KB PRG-ROM: the title screen lives in bank
;   0, the sound driver and the song in bank 1, the playfield in bank 2; the
;   code of bank 7 stays at $C000. CHR-ROM is switched in 4 KB halves: the
;   background half alternates between two versions of the grass and water
;   tiles to animate them.
; - Split screen: the status bar is drawn with the scroll at 0; sprite 0 sits
;   behind the opaque first line of the bar's bottom edge, and once the PPU
;   reports the sprite-zero hit the NMI handler writes the playfield's
;   scroll through $2006/$2005/$2005/$2006.
; - Sound: a song on both pulses, the triangle and the noise channel, with
;   sound effects that borrow pulse 2 and the noise channel.
; - Battery RAM at $6000: a signature, the high score and a play counter,
;   with a checksum; anything else (a fresh RAM of zeros) starts a new record.

.include "nes.inc"
.include "header.inc"

    ; 8 x 16 KB PRG, 2 x 8 KB CHR, mapper 1, vertical arrangement + battery
    ines_header 8, 2, 1, $03

; ---------------------------------------------------------------------------
; Constants

BTN_A      = $80
BTN_B      = $40
BTN_SELECT = $20
BTN_START  = $10
BTN_UP     = $08
BTN_DOWN   = $04
BTN_LEFT   = $02
BTN_RIGHT  = $01

BANK_TITLE = 0
BANK_AUDIO = 1
BANK_LEVEL = 2

; PPUCTRL: NMI on, sprites from $1000, background from $0000, step 1.
CTRL_BASE = $88
; PPUMASK: background and sprites, also in the leftmost 8 pixels.
MASK_ON   = $1E

; The split: the first line of the status bar's bottom edge is line 24. The
; hit is seen at the end of that line and the new scroll is written during
; line 25, so the playfield scroll is given with the vertical position 25:
; line 26 then shows nametable line 26, and the playfield starts at line 32
; with tile row 4 whatever the horizontal position.
SPRITE0_Y  = 23                 ; sprite drawn from line 24
SPLIT_Y    = 25

STATE_TITLE = 0
STATE_PLAY  = 1
STATE_OVER  = 2

NUM_ENEMIES = 4
NUM_GEMS    = 3
NUM_SHOTS   = 3
NUM_PUFFS   = 4

PLAYER_TOP    = 36
PLAYER_BOTTOM = 200
PLAYER_LEFT   = 8
PLAYER_RIGHT  = 232
DASH_FRAMES   = 18
DASH_COOLDOWN = 50
HURT_FRAMES   = 100

; Sprite tiles (pattern table at $1000)
TILE_SPRITE0 = $01
TILE_RAVEN_UP   = $80
TILE_RAVEN_DOWN = $84
TILE_RAVEN_DASH = $88
TILE_BAT_UP     = $90
TILE_BAT_DOWN   = $94
TILE_GEM        = $A0
TILE_GEM_SHINE  = $A4
TILE_PUFF_BIG   = $B0
TILE_PUFF_SMALL = $B4
TILE_FEATHER    = $C0

; Sound effect numbers (see audio.inc)
SFX_SHOT  = 1
SFX_GEM   = 2
SFX_HURT  = 3
SFX_START = 4
SFX_OVER  = 5
NSFX_BOOM = 1
NSFX_DASH = 2

SAVE_VERSION = 1

; ---------------------------------------------------------------------------
; Memory

.segment "ZEROPAGE"
tmp:            .res 4
ptr:            .res 2
frame_count:    .res 1
frame_ready:    .res 1          ; main code has finished a frame's updates
ppu_ctrl_shadow: .res 1
ppu_mask_shadow: .res 1
split_on:       .res 1
split_nt:       .res 1          ; first $2006 value of the split
split_x:        .res 1          ; horizontal scroll of the playfield
split_lo:       .res 1          ; second $2006 value of the split
mmc1_busy:      .res 1          ; nonzero while the main code talks to MMC1
bg_bank:        .res 1          ; background CHR bank the NMI selects: 0 or 1
anim_count:     .res 1          ; frames of animation, stopped by the pause
cur_prg:        .res 1
pad:            .res 1
pad_prev:       .res 1
pad_new:        .res 1
state:          .res 1
rng:            .res 2
scroll_x:       .res 2
oam_pos:        .res 1
; Sound driver (bank 1)
mus_ptr:        .res 8          ; per channel, indexed by channel * 2
sfx_ptr:        .res 8

.segment "OAMBUF"
oam:            .res 256

.segment "BSS"
vram_len:       .res 1
vram_buf:       .res 80
player_x:       .res 1
player_y:       .res 1
dash_timer:     .res 1
dash_cool:      .res 1
invuln:         .res 1
lives:          .res 1
score:          .res 6          ; decimal digits, most significant first
hi:             .res 6
new_record:     .res 1
paused:         .res 1
over_timer:     .res 1
world_speed:    .res 1
distance:       .res 1
enemy_timer:    .res 1
gem_timer:      .res 1
title_x:        .res 1
en_on:          .res NUM_ENEMIES
en_x:           .res NUM_ENEMIES
en_y:           .res NUM_ENEMIES
en_base:        .res NUM_ENEMIES
en_phase:       .res NUM_ENEMIES
en_speed:       .res NUM_ENEMIES
gem_on:         .res NUM_GEMS
gem_x:          .res NUM_GEMS
gem_y:          .res NUM_GEMS
gem_fire:       .res NUM_GEMS       ; 1 for a fire gem (100 points)
shot_on:        .res NUM_SHOTS
shot_x:         .res NUM_SHOTS
shot_y:         .res NUM_SHOTS
puff_t:         .res NUM_PUFFS
puff_x:         .res NUM_PUFFS
puff_y:         .res NUM_PUFFS
; Sound driver state, indexed by channel * 2
mus_timer:      .res 8
mus_note:       .res 8
mus_age:        .res 8
mus_last_hi:    .res 8
sfx_on:         .res 8
music_on:       .res 1
sfx_req_pulse:  .res 1
sfx_req_noise:  .res 1

; Battery RAM. $6000-$6005 "CORVEL", $6006 version, $6010-$6015 the high
; score as six decimal digits, $6016 the checksum, $6018-$6019 the number of
; games started (little-endian). The checksum is $A5 plus the six digits and
; the two counter bytes, modulo 256.
.segment "SAVE"
save_signature: .res 6
save_version:   .res 1
                .res 9
save_hi:        .res 6
save_check:     .res 1
                .res 1
save_plays:     .res 2

; ---------------------------------------------------------------------------
; Pattern ROM and the switched banks

.segment "CHARS"
    .incbin "demo.chr"

.include "screens.inc"          ; title in BANK0, playfield in BANK2

.segment "BANK1"
.include "audio.inc"

; ---------------------------------------------------------------------------
.segment "CODE"

reset:
    sei
    cld
    ldx #$40
    stx APUFRAME                ; no frame interrupt
    ldx #$FF
    txs
    inx
    stx PPUCTRL
    stx PPUMASK
    stx APUSTATUS
    lda #$80                    ; empty MMC1's serial register
    sta $8000
    bit PPUSTATUS
@vblank1:
    bit PPUSTATUS
    bpl @vblank1

    lda #0
    tax
@clear:
    sta $0000,x
    sta $0100,x
    sta $0300,x
    sta $0400,x
    sta $0500,x
    sta $0600,x
    sta $0700,x
    inx
    bne @clear
    jsr hide_all_sprites

@vblank2:
    bit PPUSTATUS
    bpl @vblank2

    jsr mmc1_init
    lda #$C7
    sta rng
    lda #$5E
    sta rng+1
    jsr battery_load
    lda #BANK_AUDIO
    jsr set_prg_bank
    jsr audio_init
    jmp title_enter

irq:
    rti

; ---------------------------------------------------------------------------
; NMI: uploads what the main code prepared, sets the scroll of the status
; bar, animates the background tiles and, while the game is played, makes
; the split under the status bar.

nmi:
    pha
    txa
    pha
    tya
    pha

    lda frame_ready
    beq @no_upload
    lda #0
    sta OAMADDR
    lda #>oam
    sta OAMDMA
    ldx #0
@next_entry:
    lda vram_buf,x              ; high byte of the address, 0 ends the list
    beq @uploaded
    sta PPUADDR
    lda vram_buf+1,x
    sta PPUADDR
    ldy vram_buf+2,x
    inx
    inx
    inx
@copy:
    lda vram_buf,x
    sta PPUDATA
    inx
    dey
    bne @copy
    beq @next_entry
@uploaded:
    lda #0
    sta frame_ready
@no_upload:

    lda ppu_ctrl_shadow
    sta PPUCTRL
    bit PPUSTATUS
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda ppu_mask_shadow
    sta PPUMASK

    ; Grass and water move by showing the other 4 KB background bank
    ; (bg_bank, chosen by the main code). Skipped when the main code is in
    ; the middle of its own five-write sequence to MMC1.
    inc frame_count
    lda mmc1_busy
    bne @no_animation
    lda bg_bank
    jsr mmc1_chr0
@no_animation:

    lda split_on
    beq @done
    ; The hit flag of the last frame stays set until the end of vertical
    ; blank: wait for it to clear, then for this frame's hit. Both waits
    ; give up after a while so that a missing sprite 0 cannot hang the game.
    ldx #0
@wait_clear:
    bit PPUSTATUS
    bvc @cleared
    dex
    bne @wait_clear
    beq @done
@cleared:
    ldx #0
    ldy #4
@wait_hit:
    bit PPUSTATUS
    bvs @hit
    dex
    bne @wait_hit
    dey
    bne @wait_hit
    beq @done
@hit:
    ; The hit is raised after the line's pixels; a short pause moves the
    ; writes past the end of the line, onto line 25. Only the last write
    ; moves the picture, and line 25 looks the same at every scroll.
    nop
    nop
    nop
    nop
    nop
    lda split_nt
    sta PPUADDR                 ; nametable bits
    lda #SPLIT_Y
    sta PPUSCROLL               ; fine and coarse vertical position
    lda split_x
    sta PPUSCROLL               ; fine and coarse horizontal position
    lda split_lo
    sta PPUADDR                 ; coarse X and low coarse Y: now in effect
@done:
    pla
    tay
    pla
    tax
    pla
    rti

; Tells the NMI that the frame's updates are ready and waits until it has
; taken them: the OAM buffer and the VRAM list may be changed again.
end_frame:
    lda #1
    sta frame_ready
@wait:
    lda frame_ready
    bne @wait
    lda #0
    sta vram_len
    sta vram_buf
    rts

; ---------------------------------------------------------------------------
; MMC1: every register is written one bit at a time, five writes, least
; significant bit first; the address of the fifth write picks the register.

.macro mmc1_write address
    sta address
    lsr a
    sta address
    lsr a
    sta address
    lsr a
    sta address
    lsr a
    sta address
.endmacro

mmc1_init:
    lda #%11110                 ; 4 KB CHR halves, 16 KB PRG at $8000, vertical
    inc mmc1_busy
    mmc1_write $8000
    dec mmc1_busy
    lda #0
    jsr mmc1_chr0
    lda #2                      ; sprites: the third 4 KB of CHR-ROM
    inc mmc1_busy
    mmc1_write $C000
    dec mmc1_busy
    lda #0
    ; falls through

; A = 16 KB bank to show at $8000-$BFFF.
set_prg_bank:
    sta cur_prg
    inc mmc1_busy
    mmc1_write $E000
    dec mmc1_busy
    rts

; A = 4 KB CHR bank for the background half ($0000-$0FFF).
mmc1_chr0:
    inc mmc1_busy
    mmc1_write $A000
    dec mmc1_busy
    rts

; ---------------------------------------------------------------------------
; Controller: a write of 1 to $4016 latches the buttons, then eight reads
; give A, B, Select, Start, Up, Down, Left, Right in bit 0.

read_pad:
    lda pad
    sta pad_prev
    lda #1
    sta JOYPAD1
    lda #0
    sta JOYPAD1
    ldx #8
@bit:
    lda JOYPAD1
    lsr a
    rol pad
    dex
    bne @bit
    lda pad_prev
    eor #$FF
    and pad
    sta pad_new
    rts

; 16-bit linear feedback shift register; returns 8 new bits in A. Uses Y.
random:
    ldy #8
    lda rng
@step:
    asl a
    rol rng+1
    bcc @no_feedback
    eor #$39
@no_feedback:
    dey
    bne @step
    sta rng
    rts

; A = |A| as a signed byte.
absolute:
    bpl @positive
    eor #$FF
    clc
    adc #1
@positive:
    rts

; ---------------------------------------------------------------------------
; Screen loading (rendering and NMI off)

screen_off:
    lda ppu_ctrl_shadow         ; with NMI on, let the last frame finish first
    bpl @no_nmi
    jsr end_frame
@no_nmi:
    lda #0
    sta ppu_ctrl_shadow
    sta split_on
    sta ppu_mask_shadow
    sta PPUCTRL
    sta PPUMASK
    rts

screen_on:
    lda #0
    sta OAMADDR
    lda #>oam
    sta OAMDMA
    bit PPUSTATUS
@vblank:
    bit PPUSTATUS
    bpl @vblank
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL
    lda #MASK_ON
    sta ppu_mask_shadow
    sta PPUMASK
    lda #CTRL_BASE
    sta ppu_ctrl_shadow
    sta PPUCTRL
    rts

; Copies 1024 bytes from (ptr) to the nametable whose high address is in A.
load_nametable:
    bit PPUSTATUS
    sta PPUADDR
    lda #0
    sta PPUADDR
    ldx #4
    ldy #0
@byte:
    lda (ptr),y
    sta PPUDATA
    iny
    bne @byte
    inc ptr+1
    dex
    bne @byte
    rts

load_palettes:
    bit PPUSTATUS
    lda #$3F
    sta PPUADDR
    lda #0
    sta PPUADDR
    ldx #0
@colour:
    lda palettes,x
    sta PPUDATA
    inx
    cpx #32
    bne @colour
    rts

; Writes the six digits of the high score at the PPU address in A (high), X (low).
write_hi_digits:
    bit PPUSTATUS
    sta PPUADDR
    stx PPUADDR
    ldx #0
@digit:
    lda hi,x
    ora #$30
    sta PPUDATA
    inx
    cpx #6
    bne @digit
    rts

hide_all_sprites:
    ldx #0
    stx oam_pos
    ; falls through

; Hides every sprite from oam_pos on.
hide_rest:
    ldx oam_pos
    lda #$FF
@sprite:
    sta oam,x
    inx
    inx
    inx
    inx
    bne @sprite
    rts

; ---------------------------------------------------------------------------
; VRAM update list, emptied by the NMI: entries of address high, address low,
; count and the bytes; a 0 high byte ends it.

; A = address high, X = address low, Y = count. Returns X at the first data byte.
vram_open:
    stx tmp
    ldx vram_len
    sta vram_buf,x
    lda tmp
    sta vram_buf+1,x
    tya
    sta vram_buf+2,x
    inx
    inx
    inx
    rts

; X = index after the last data byte.
vram_close:
    stx vram_len
    lda #0
    sta vram_buf,x
    rts

; ---------------------------------------------------------------------------
; Sprites

; tmp+0 = x, tmp+1 = y, tmp+2 = first tile, tmp+3 = attributes. Draws a
; 16x16 object of four tiles: top-left, top-right, bottom-left, bottom-right.
draw16:
    ldx oam_pos
    lda tmp+1
    sta oam,x
    sta oam+4,x
    clc
    adc #8
    sta oam+8,x
    sta oam+12,x
    lda tmp+2
    sta oam+1,x
    clc
    adc #1
    sta oam+5,x
    adc #1
    sta oam+9,x
    adc #1
    sta oam+13,x
    lda tmp+3
    sta oam+2,x
    sta oam+6,x
    sta oam+10,x
    sta oam+14,x
    lda tmp+0
    sta oam+3,x
    sta oam+11,x
    clc
    adc #8
    sta oam+7,x
    sta oam+15,x
    txa
    clc
    adc #16
    sta oam_pos
    rts

; One 8x8 sprite: same arguments as draw16.
draw8:
    ldx oam_pos
    lda tmp+1
    sta oam,x
    lda tmp+2
    sta oam+1,x
    lda tmp+3
    sta oam+2,x
    lda tmp+0
    sta oam+3,x
    inx
    inx
    inx
    inx
    stx oam_pos
    rts

; A line of text in sprites (palette 2, red letters in black boxes).
; ptr = NUL-terminated text, tmp+0 = x, tmp+1 = y. Spaces take no sprite.
draw_text:
    lda #2
    sta tmp+3
    ldy #0
@char:
    lda (ptr),y
    beq @end
    cmp #' '
    beq @advance
    sta tmp+2
    tya
    pha
    jsr draw8
    pla
    tay
@advance:
    lda tmp+0
    clc
    adc #8
    sta tmp+0
    iny
    bne @char
@end:
    rts

; ---------------------------------------------------------------------------
; Sound: the driver lives in bank 1.

audio_frame:
    lda #BANK_AUDIO
    jsr set_prg_bank
    jmp audio_update

start_music:
    lda #BANK_AUDIO
    jsr set_prg_bank
    jmp music_start

stop_music:
    lda #BANK_AUDIO
    jsr set_prg_bank
    jmp music_stop

; ---------------------------------------------------------------------------
; Battery RAM

battery_checksum:
    lda #$A5
    ldx #5
@digit:
    clc
    adc save_hi,x
    dex
    bpl @digit
    clc
    adc save_plays
    clc
    adc save_plays+1
    rts

; Takes the high score from battery RAM when it holds a valid record;
; otherwise (a new cartridge, RAM of zeros or damaged data) starts a new one.
battery_load:
    ldx #5
@signature:
    lda save_signature,x
    cmp signature_text,x
    bne @fresh
    dex
    bpl @signature
    lda save_version
    cmp #SAVE_VERSION
    bne @fresh
    ldx #5
@digit:
    lda save_hi,x
    cmp #10
    bcs @fresh
    dex
    bpl @digit
    jsr battery_checksum
    cmp save_check
    bne @fresh
    ldx #5
@copy:
    lda save_hi,x
    sta hi,x
    dex
    bpl @copy
    rts
@fresh:
    ldx #5
@init:
    lda signature_text,x
    sta save_signature,x
    lda #0
    sta save_hi,x
    sta hi,x
    dex
    bpl @init
    lda #SAVE_VERSION
    sta save_version
    lda #0
    sta save_plays
    sta save_plays+1
    jsr battery_checksum
    sta save_check
    rts

battery_store_hi:
    ldx #5
@copy:
    lda hi,x
    sta save_hi,x
    dex
    bpl @copy
    jsr battery_checksum
    sta save_check
    rts

battery_count_play:
    inc save_plays
    bne @same
    inc save_plays+1
@same:
    jsr battery_checksum
    sta save_check
    rts

; ---------------------------------------------------------------------------
; Score

; Adds A (0-9) to digit X of the score (5 ones, 4 tens, 3 hundreds) and keeps
; the high score up to date. Uses X.
add_score:
    clc
    adc score,x
@carry:
    cmp #10
    bcc @store
    sec
    sbc #10
    sta score,x
    dex
    bmi @top
    lda score,x
    clc
    adc #1
    jmp @carry
@store:
    sta score,x
    jmp check_record
@top:
    ldx #5                      ; 999999 is as far as the counter goes
    lda #9
@nine:
    sta score,x
    dex
    bpl @nine
    ; falls through

check_record:
    ldx #0
@compare:
    lda score,x
    cmp hi,x
    bcc @lower
    bne @higher
    inx
    cpx #6
    bne @compare
@lower:
    rts
@higher:
    ldx #5
@copy:
    lda score,x
    sta hi,x
    dex
    bpl @copy
    lda #1
    sta new_record
    jmp battery_store_hi

; Queues the status bar's numbers: score, high score and hearts.
queue_status:
    lda #$20
    ldx #$27
    ldy #6
    jsr vram_open
    ldy #0
@score:
    lda score,y
    ora #$30
    sta vram_buf,x
    inx
    iny
    cpy #6
    bne @score
    jsr vram_close
    lda #$20
    ldx #$32
    ldy #6
    jsr vram_open
    ldy #0
@hi:
    lda hi,y
    ora #$30
    sta vram_buf,x
    inx
    iny
    cpy #6
    bne @hi
    jsr vram_close
    lda #$20
    ldx #$3C
    ldy #1
    jsr vram_open
    lda lives
    ora #$30
    sta vram_buf,x
    inx
    jmp vram_close

; ---------------------------------------------------------------------------
; Main loop

main_loop:
    jsr read_pad
    jsr audio_frame
    lda state
    cmp #STATE_PLAY
    beq @play
    cmp #STATE_OVER
    beq @over
    jsr title_update
    jmp @next
@play:
    jsr play_update
    jmp @next
@over:
    jsr over_update
@next:
    ; The landscape's animation changes frame every 16 frames, except
    ; while the game is paused.
    lda paused
    beq @animate
    lda state
    cmp #STATE_PLAY
    beq @still
@animate:
    inc anim_count
    lda anim_count
    lsr a
    lsr a
    lsr a
    lsr a
    and #1
    sta bg_bank
@still:
    jsr end_frame
    jmp main_loop

; ---------------------------------------------------------------------------
; Title screen

title_enter:
    jsr screen_off
    lda #BANK_TITLE
    jsr set_prg_bank
    lda #<title_screen
    sta ptr
    lda #>title_screen
    sta ptr+1
    lda #$20
    jsr load_nametable
    lda #$21                    ; "HI-SCORE 000000": digits at row 15, column 17
    ldx #$F1
    jsr write_hi_digits
    jsr load_palettes
    jsr hide_all_sprites
    lda #0
    sta scroll_x
    sta scroll_x+1
    sta title_x
    lda #STATE_TITLE
    sta state
    jsr screen_on
    jsr start_music
    ldx #$FF                    ; the reset jumps here with an empty stack
    txs
    jmp main_loop

title_update:
    lda pad_new
    and #BTN_START
    beq @stay
    jmp play_enter
@stay:
    ; The raven crosses the sky between the panel and the forest.
    inc title_x
    lda frame_count
    lsr a
    lsr a
    and #31
    tay
    lda sine,y
    cmp #$80                    ; half the wave: -6 to +6
    ror a
    clc
    adc #156
    sta tmp+1
    lda title_x
    sta tmp+0
    lda frame_count             ; the wings flap every 8 frames
    and #8
    beq @wings_up
    lda #TILE_RAVEN_DOWN
    .byte $2C                   ; BIT abs: skips the next two-byte instruction
@wings_up:
    lda #TILE_RAVEN_UP
    sta tmp+2
    lda #0
    sta tmp+3
    sta oam_pos
    jsr draw16
    jsr hide_rest
    ; "PUSH START" blinks.
    lda #$21
    ldx #$AB
    ldy #10
    jsr vram_open
    ldy #0
@char:
    lda frame_count
    and #$20
    beq @blank
    lda push_start_text,y
    .byte $2C
@blank:
    lda #' '
    sta vram_buf,x
    inx
    iny
    cpy #10
    bne @char
    jmp vram_close

; ---------------------------------------------------------------------------
; Game

play_enter:
    jsr screen_off
    lda #BANK_LEVEL
    jsr set_prg_bank
    lda #<playfield_left
    sta ptr
    lda #>playfield_left
    sta ptr+1
    lda #$20
    jsr load_nametable
    lda #<playfield_right
    sta ptr
    lda #>playfield_right
    sta ptr+1
    lda #$24
    jsr load_nametable
    lda #$20                    ; "HI 000000": digits at row 1, column 18
    ldx #$32
    jsr write_hi_digits
    jsr load_palettes

    ; A new game.
    lda #0
    ldx #5
@score:
    sta score,x
    dex
    bpl @score
    ldx #NUM_ENEMIES-1
@enemies:
    sta en_on,x
    sta puff_t,x
    dex
    bpl @enemies
    ldx #NUM_SHOTS-1
@shots:
    sta shot_on,x
    sta gem_on,x
    dex
    bpl @shots
    sta scroll_x
    sta scroll_x+1
    sta dash_timer
    sta dash_cool
    sta invuln
    sta new_record
    sta paused
    sta distance
    lda #1
    sta world_speed
    lda #3
    sta lives
    lda #40
    sta player_x
    lda #110
    sta player_y
    lda #90
    sta enemy_timer
    lda #50
    sta gem_timer
    jsr battery_count_play

    jsr hide_all_sprites
    jsr setup_sprite0
    jsr compute_split
    lda #STATE_PLAY
    sta state
    jsr screen_on
    lda #1
    sta split_on
    lda #SFX_START
    sta sfx_req_pulse
    rts

; Sprite 0: one opaque line, behind the background, on the first line of the
; status bar's bottom edge.
setup_sprite0:
    lda #SPRITE0_Y
    sta oam
    lda #TILE_SPRITE0
    sta oam+1
    lda #$20
    sta oam+2
    lda #128
    sta oam+3
    lda #4
    sta oam_pos
    rts

; The three values the NMI writes for the playfield's scroll.
compute_split:
    lda scroll_x+1
    and #1
    asl a
    asl a
    sta split_nt                ; bit 10 of the address: the right nametable
    lda scroll_x
    sta split_x
    lsr a
    lsr a
    lsr a
    ora #(SPLIT_Y & $F8) << 2
    sta split_lo
    rts

play_update:
    lda pad_new
    and #BTN_START
    beq @not_start
    lda paused
    eor #1
    sta paused
    beq @resume
    jsr stop_music
    jmp @paused
@resume:
    jsr start_music_again
@not_start:
    lda paused
    beq @running
@paused:
    jsr setup_sprite0
    lda #<pause_text
    sta ptr
    lda #>pause_text
    sta ptr+1
    lda #108
    sta tmp+0
    lda #112
    sta tmp+1
    jsr draw_text
    jsr hide_rest
    jmp queue_status
@running:
    jsr scroll_world
    jsr player_update
    jsr shots_update
    jsr enemies_update
    jsr gems_update
    jsr puffs_update
    jsr spawn_update
    jsr collide
    lda state
    cmp #STATE_PLAY
    bne @ended
    jsr draw_play
    jmp queue_status
@ended:
    rts

start_music_again:
    lda #BANK_AUDIO
    jsr set_prg_bank
    jmp music_resume

scroll_world:
    ; The pace rises with the score: two pixels a frame from 1000 points on.
    lda score+2
    ora score+1
    ora score
    beq @slow
    lda #2
    sta world_speed
@slow:
    lda scroll_x
    clc
    adc world_speed
    sta scroll_x
    bcc @no_carry
    inc scroll_x+1
@no_carry:
    jsr compute_split
    ; One point every 16 pixels flown.
    lda distance
    clc
    adc world_speed
    cmp #16
    bcc @store
    sbc #16
    sta distance
    lda #1
    ldx #5
    jmp add_score
@store:
    sta distance
    rts

player_update:
    ldy #2
    lda dash_timer
    beq @walk
    ldy #4
@walk:
    sty tmp
    lda pad
    and #BTN_UP
    beq @no_up
    lda player_y
    sec
    sbc tmp
    cmp #PLAYER_TOP
    bcs @up_ok
    lda #PLAYER_TOP
@up_ok:
    sta player_y
@no_up:
    lda pad
    and #BTN_DOWN
    beq @no_down
    lda player_y
    clc
    adc tmp
    cmp #PLAYER_BOTTOM+1
    bcc @down_ok
    lda #PLAYER_BOTTOM
@down_ok:
    sta player_y
@no_down:
    lda pad
    and #BTN_LEFT
    beq @no_left
    lda player_x
    sec
    sbc tmp
    cmp #PLAYER_LEFT
    bcs @left_ok
    lda #PLAYER_LEFT
@left_ok:
    sta player_x
@no_left:
    lda pad
    and #BTN_RIGHT
    beq @no_right
    lda player_x
    clc
    adc tmp
    cmp #PLAYER_RIGHT+1
    bcc @right_ok
    lda #PLAYER_RIGHT
@right_ok:
    sta player_x
@no_right:

    ; A: throw a feather.
    lda pad_new
    and #BTN_A
    beq @no_throw
    ldx #NUM_SHOTS-1
@free_shot:
    lda shot_on,x
    beq @throw
    dex
    bpl @free_shot
    bmi @no_throw
@throw:
    lda #1
    sta shot_on,x
    lda player_x
    clc
    adc #12
    sta shot_x,x
    lda player_y
    clc
    adc #4
    sta shot_y,x
    lda #SFX_SHOT
    sta sfx_req_pulse
@no_throw:

    ; B: dash, then a pause before the next one.
    lda dash_cool
    beq @can_dash
    dec dash_cool
    jmp @timers
@can_dash:
    lda pad_new
    and #BTN_B
    beq @timers
    lda #DASH_FRAMES
    sta dash_timer
    lda #DASH_COOLDOWN
    sta dash_cool
    lda #NSFX_DASH
    sta sfx_req_noise
@timers:
    lda dash_timer
    beq @no_dash
    dec dash_timer
@no_dash:
    lda invuln
    beq @done
    dec invuln
@done:
    rts

shots_update:
    ldx #NUM_SHOTS-1
@shot:
    lda shot_on,x
    beq @next
    lda shot_x,x
    clc
    adc #6
    sta shot_x,x
    cmp #246
    bcc @next
    lda #0
    sta shot_on,x
@next:
    dex
    bpl @shot
    rts

enemies_update:
    ldx #NUM_ENEMIES-1
@enemy:
    lda en_on,x
    beq @next
    lda en_x,x
    sec
    sbc en_speed,x
    bcc @gone
    cmp #4
    bcc @gone
    sta en_x,x
    lda en_phase,x
    clc
    adc #3
    sta en_phase,x
    ; Bats drift towards the raven's height.
    lda frame_count
    and #3
    bne @wave
    lda en_base,x
    cmp player_y
    beq @wave
    bcc @lower
    cmp #52
    bcc @wave
    dec en_base,x
    jmp @wave
@lower:
    cmp #180
    bcs @wave
    inc en_base,x
@wave:
    lda en_phase,x
    lsr a
    lsr a
    lsr a
    and #31
    tay
    lda sine,y
    clc
    adc en_base,x
    sta en_y,x
    jmp @next
@gone:
    lda #0
    sta en_on,x
@next:
    dex
    bpl @enemy
    rts

gems_update:
    ldx #NUM_GEMS-1
@gem:
    lda gem_on,x
    beq @next
    lda gem_x,x
    sec
    sbc world_speed
    bcc @gone
    cmp #2
    bcc @gone
    sta gem_x,x
    jmp @next
@gone:
    lda #0
    sta gem_on,x
@next:
    dex
    bpl @gem
    rts

puffs_update:
    ldx #NUM_PUFFS-1
@puff:
    lda puff_t,x
    beq @next
    dec puff_t,x
    lda puff_x,x
    sec
    sbc world_speed
    bcs @keep
    lda #0
    sta puff_t,x
    beq @next
@keep:
    sta puff_x,x
@next:
    dex
    bpl @puff
    rts

; X = enemy: replaces it by a puff of smoke.
add_puff:
    ldy #NUM_PUFFS-1
@free:
    lda puff_t,y
    beq @use
    dey
    bpl @free
    rts
@use:
    lda #24
    sta puff_t,y
    lda en_x,x
    sta puff_x,y
    lda en_y,x
    sta puff_y,y
    rts

spawn_update:
    dec enemy_timer
    bne @gems
    ; The gap between bats shrinks by 4 frames every 100 points, down to 24.
    lda score+2
    asl a
    asl a
    asl a
    asl a
    ora score+3                 ; a rough level: thousands * 16 + hundreds
    cmp #12
    bcc @level
    lda #12
@level:
    asl a
    asl a
    sta tmp
    lda #72
    sec
    sbc tmp
    sta tmp
    jsr random
    and #31
    clc
    adc tmp
    sta enemy_timer
    ldx #NUM_ENEMIES-1
@free_enemy:
    lda en_on,x
    beq @new_enemy
    dex
    bpl @free_enemy
    bmi @gems
@new_enemy:
    lda #1
    sta en_on,x
    lda #240
    sta en_x,x
    jsr random
    sta en_phase,x
    and #127
    clc
    adc #52
    sta en_base,x
    sta en_y,x
    jsr random
    and #1
    clc
    adc world_speed
    sta en_speed,x
@gems:
    dec gem_timer
    bne @done
    jsr random
    and #63
    clc
    adc #60
    sta gem_timer
    ldx #NUM_GEMS-1
@free_gem:
    lda gem_on,x
    beq @new_gem
    dex
    bpl @free_gem
    rts
@new_gem:
    lda #1
    sta gem_on,x
    lda #240
    sta gem_x,x
    jsr random
    and #127
    clc
    adc #52
    sta gem_y,x
    lda #0                      ; one gem in eight is a fire gem
    sta gem_fire,x
    jsr random
    and #7
    bne @done
    inc gem_fire,x
@done:
    rts

; ---------------------------------------------------------------------------
; Collisions

collide:
    ; Feathers against bats.
    ldx #NUM_SHOTS-1
@shot:
    lda shot_on,x
    beq @next_shot
    ldy #NUM_ENEMIES-1
@enemy:
    lda en_on,y
    beq @next_enemy
    lda shot_x,x
    sec
    sbc en_x,y
    sec
    sbc #4
    jsr absolute
    cmp #10
    bcs @next_enemy
    lda shot_y,x
    sec
    sbc en_y,y
    sec
    sbc #4
    jsr absolute
    cmp #10
    bcs @next_enemy
    lda #0
    sta shot_on,x
    txa
    pha
    tya
    tax
    jsr enemy_down
    pla
    tax
    jmp @next_shot
@next_enemy:
    dey
    bpl @enemy
@next_shot:
    dex
    bpl @shot

    ; The raven against bats.
    ldx #NUM_ENEMIES-1
@bat:
    lda en_on,x
    beq @next_bat
    lda player_x
    sec
    sbc en_x,x
    jsr absolute
    cmp #12
    bcs @next_bat
    lda player_y
    sec
    sbc en_y,x
    jsr absolute
    cmp #11
    bcs @next_bat
    lda dash_timer
    beq @not_dashing
    jsr enemy_down              ; a dash rams the bat
    jmp @next_bat
@not_dashing:
    lda invuln
    bne @next_bat
    jsr hurt
    lda state
    cmp #STATE_PLAY
    beq @next_bat
    rts                         ; the game just ended
@next_bat:
    dex
    bpl @bat

    ; The raven against gems.
    ldx #NUM_GEMS-1
@gem:
    lda gem_on,x
    beq @next_gem
    lda player_x
    sec
    sbc gem_x,x
    jsr absolute
    cmp #14
    bcs @next_gem
    lda player_y
    sec
    sbc gem_y,x
    jsr absolute
    cmp #14
    bcs @next_gem
    lda #0
    sta gem_on,x
    lda #SFX_GEM
    sta sfx_req_pulse
    txa
    pha
    ldy gem_fire,x              ; fire gems count in hundreds, blue ones in tens
    lda #1
    ldx #4
    cpy #0
    beq @blue
    dex
@blue:
    jsr add_score
    pla
    tax
@next_gem:
    dex
    bpl @gem
    rts

; X = enemy: it goes up in smoke and the raven gets 50 points. Keeps X.
enemy_down:
    lda #0
    sta en_on,x
    jsr add_puff
    lda #NSFX_BOOM
    sta sfx_req_noise
    txa
    pha
    lda #5
    ldx #4
    jsr add_score
    pla
    tax
    rts

; X = the bat that hit the raven. Keeps X.
hurt:
    lda #0
    sta en_on,x
    jsr add_puff
    lda #HURT_FRAMES
    sta invuln
    lda #SFX_HURT
    sta sfx_req_pulse
    lda #NSFX_BOOM
    sta sfx_req_noise
    dec lives
    bne @alive
    jmp game_over
@alive:
    rts

; ---------------------------------------------------------------------------
; Drawing the game

draw_play:
    jsr setup_sprite0
    ; The raven blinks while it recovers from a hit.
    lda invuln
    and #4
    bne @no_raven
    lda player_x
    sta tmp+0
    lda player_y
    sta tmp+1
    lda #0
    sta tmp+3
    lda #TILE_RAVEN_DASH
    ldx dash_timer
    bne @tile
    lda frame_count
    and #8
    beq @up
    lda #TILE_RAVEN_DOWN
    bne @tile
@up:
    lda #TILE_RAVEN_UP
@tile:
    sta tmp+2
    jsr draw16
@no_raven:
    ; Feathers
    lda #TILE_FEATHER
    sta tmp+2
    lda #1
    sta tmp+3
    ldx #NUM_SHOTS-1
@shot:
    lda shot_on,x
    beq @next_shot
    lda shot_x,x
    sta tmp+0
    lda shot_y,x
    sta tmp+1
    txa
    pha
    jsr draw8
    pla
    tax
@next_shot:
    dex
    bpl @shot
    ; Bats and gems trade places in sprite memory every frame, so that when
    ; more than eight sprites share a line each of them still shows half of
    ; the time.
    lda frame_count
    and #1
    beq @bats_first
    jsr draw_gems
    jsr draw_bats
    jmp @puffs
@bats_first:
    jsr draw_bats
    jsr draw_gems
@puffs:
    jsr draw_puffs
    jmp hide_rest

draw_bats:
    lda #2
    sta tmp+3
    ldx #NUM_ENEMIES-1
@bat:
    lda en_on,x
    beq @next
    lda en_x,x
    sta tmp+0
    lda en_y,x
    sta tmp+1
    txa
    eor frame_count
    and #8
    beq @up
    lda #TILE_BAT_DOWN
    bne @tile
@up:
    lda #TILE_BAT_UP
@tile:
    sta tmp+2
    txa
    pha
    jsr draw16
    pla
    tax
@next:
    dex
    bpl @bat
    rts

draw_gems:
    lda #TILE_GEM
    sta tmp+2
    lda frame_count
    and #$30
    bne @plain
    lda #TILE_GEM_SHINE
    sta tmp+2
@plain:
    ldx #NUM_GEMS-1
@gem:
    lda gem_on,x
    beq @next
    lda gem_x,x
    sta tmp+0
    lda gem_y,x
    sta tmp+1
    lda #3                      ; blue gems in palette 3, fire gems in 1
    ldy gem_fire,x
    beq @palette
    lda #1
@palette:
    sta tmp+3
    txa
    pha
    jsr draw16
    pla
    tax
@next:
    dex
    bpl @gem
    rts

draw_puffs:
    lda #1
    sta tmp+3
    ldx #NUM_PUFFS-1
@puff:
    lda puff_t,x
    beq @next
    lda puff_x,x
    sta tmp+0
    lda puff_y,x
    sta tmp+1
    lda #TILE_PUFF_BIG
    ldy puff_t,x
    cpy #12
    bcs @big
    lda #TILE_PUFF_SMALL
@big:
    sta tmp+2
    txa
    pha
    jsr draw16
    pla
    tax
@next:
    dex
    bpl @puff
    rts

; ---------------------------------------------------------------------------
; Game over: the scene stops, the text shows for four seconds (Start skips
; it after one), then the title screen comes back.

game_over:
    lda #STATE_OVER
    sta state
    lda #240
    sta over_timer
    jsr stop_music
    lda #SFX_OVER
    sta sfx_req_pulse
    rts

over_update:
    dec over_timer
    beq @title
    lda over_timer
    cmp #180
    bcs @draw
    lda pad_new
    and #BTN_START
    beq @draw
@title:
    jmp title_enter
@draw:
    jsr puffs_update
    jsr setup_sprite0
    lda #<game_over_text
    sta ptr
    lda #>game_over_text
    sta ptr+1
    lda #92
    sta tmp+0
    lda #100
    sta tmp+1
    jsr draw_text
    lda new_record
    beq @puffs
    lda frame_count
    and #$10
    beq @puffs
    lda #<new_best_text
    sta ptr
    lda #>new_best_text
    sta ptr+1
    lda #92
    sta tmp+0
    lda #120
    sta tmp+1
    jsr draw_text
@puffs:
    jsr draw_puffs
    jsr hide_rest
    jmp queue_status

; ---------------------------------------------------------------------------
.segment "RODATA"

palettes:
    ; Background: status bar, sky things, forest, earth.
    .byte $21,$0F,$30,$28, $21,$30,$31,$12, $21,$29,$1A,$0A, $21,$27,$17,$07
    ; Sprites: raven, feathers and puffs, bats and text, gems. The first
    ; byte is the backdrop again: a write at $3F10 sets it too.
    .byte $21,$0F,$11,$28, $21,$30,$27,$16, $21,$0F,$15,$30, $21,$2C,$1C,$30

; A wave of 32 steps between -12 and +12.
sine:
    .byte 0, 2, 5, 7, 8, 10, 11, 12, 12, 12, 11, 10, 8, 7, 5, 2
    .byte 0, <-2, <-5, <-7, <-8, <-10, <-11, <-12, <-12, <-12, <-11, <-10, <-8, <-7, <-5, <-2

signature_text:
    .byte "CORVEL"
push_start_text:
    .byte "PUSH START"
pause_text:
    .byte "PAUSE", 0
game_over_text:
    .byte "GAME OVER", 0
new_best_text:
    .byte "NEW BEST!", 0

.segment "VECTORS"
    .word nmi, reset, irq
