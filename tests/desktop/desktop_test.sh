#!/usr/bin/env bash
# The desktop shell, for real: a private X server (Xvfb), real key presses and
# mouse clicks (xdotool), real screenshots (ImageMagick) and SDL's disk audio
# driver, which writes the played sound to a file.
#
#   desktop_test.sh CORVEL CARTRIDGE_DIR [SCREENSHOT_DIR]
#
# The cartridge desktop_view shows a backdrop colour with a white block, turns
# the backdrop yellow while Space (A) is held, plays a tone and keeps in
# battery RAM its boots ($7020, after "CORVEL" at $7000) and its frames
# ($6000-$6002). Copies with other backdrop colours stand for other games.
set -euo pipefail
corvel=$(realpath "$1") cartridges=$(realpath "$2") shots=${3:-}
headless=$(dirname "$corvel")/corvel-headless drop=$(dirname "$corvel")/corvel_xdnd_drop
work=$(realpath "$(mktemp -d)") pid='' xpid='' runs=0 why=''
settings=$work/config/CorvelSettings.txt options=$work/config/options.txt
trap 'kill $pid $xpid 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data HOME=$work/home XDG_CONFIG_HOME=$work/xdg
mkdir -p "$work/roms" "$work/config" "$HOME" "$XDG_CONFIG_HOME"
# The user's pictures folder, for F12, with $HOME to expand.
echo 'XDG_PICTURES_DIR="$HOME/Shots"' >"$XDG_CONFIG_HOME/user-dirs.dirs"

# The X server is this script's own, so that a step can take it away.
# -noreset: the server would otherwise reset, refusing connections for a
# moment, whenever its last client leaves.
Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset 3>"$work/display" >/dev/null 2>&1 &
xpid=$!

fail() {
  echo "FAIL: $*${why:+ (seen: $why)}" >&2
  [ -z "$shots" ] || { mkdir -p "$shots" && import -window root "$shots/failure.png"; } || true
  [ ! -f "$work/corvel.log" ] || sed 's/^/corvel: /' "$work/corvel.log" >&2
  exit 1
}
step() { echo "-- $(date +%T) $*"; }
# Polls a command every 0.1 s for at most the given seconds, else fails.
expect() { # seconds message command...
  local tries=$(($1 * 10)) message=$2
  shift 2
  why=
  until "$@"; do ((--tries > 0)) || fail "$message"; sleep 0.1; done
  why=
}
expect 10 "no X server" test -s "$work/display"
export DISPLAY=:$(cat "$work/display")

# Starts corvel in the images' folder, its sound going to a fresh file:
#   start [VARIABLE=value...] [argument...]
# launch also waits for its window.
start() {
  local vars=()
  while [[ ${1:-} == *=* ]]; do vars+=("$1") && shift; done
  audio=$work/audio$((++runs)).raw window=
  (cd "$work/roms" && exec env CORVEL_CONFIG_DIR="$work/config" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" \
    "${vars[@]}" "$corvel" "$@") >"$work/corvel.log" 2>&1 &
  pid=$!
}
launch() { start "$@" && expect 20 "no window titled Corvel" find_window && focus && geometry; }
find_window() {
  kill -0 "$pid" 2>/dev/null || fail "corvel ended"
  window=$(xdotool search --name '^Corvel$' 2>/dev/null | head -1) && [ -n "$window" ]
}
# The window's geometry; the picture area starts under the 25-pixel menu bar.
geometry() { eval "$(xdotool getwindowgeometry --shell "$window")" && ox=$X oy=$((Y + 25)) why="$WIDTH x $HEIGHT"; }
size_is() { geometry && [ "$WIDTH x $HEIGHT" = "$1 x $2" ]; }
exited() { ! kill -0 "$pid" 2>/dev/null; }
ended() { # exit status [seconds]
  expect "${2:-10}" "corvel did not end" exited
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" = "$1" ] || fail "exit status $status, expected $1"
}
quit() { press Escape && ended 0; }
logged() { grep -q -- "$1" "$work/corvel.log"; }

focus() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
press() { # keys held together for a moment, then released in reverse order
  focus
  xdotool keydown "$@" sleep 0.3 keyup $(printf '%s\n' "$@" | tac)
}
click() { xdotool mousemove --window "$window" "$1" "$2" sleep 0.2 mousedown 1 sleep 0.2 mouseup 1; }
menu() { click "$1" 12 && click "$1" "$2"; } # a menu bar item's x, then its item's y
# The View menu's items: 0 Full Screen, 1 Keep Aspect Ratio, 2 Sharp Pixels, 3-6 Size 1x-4x.
view() { menu 285 $((35 + 21 * $1)); }
# A box: a window of the title other than the main window. Return closes it.
box_up() { dialog=$(xdotool search --name "^$1\$" 2>/dev/null | grep -vx "$window" | tail -1); } # the newest
box_gone() { ! box_up "$1"; }
answer() { # title, screenshot name
  expect 10 "no box titled $1" box_up "$1"
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  sleep 0.3 && screenshot && keep_shot "$2"
  xdotool key --window "$dialog" Return 2>/dev/null || xdotool key Return
  expect 10 "the box $1 stayed" box_gone "$1"
  focus
}

shot=$work/shot.png
screenshot() { import -window root "$shot"; }
keep_shot() { [ -z "$shots" ] || { mkdir -p "$shots" && cp "$shot" "$shots/$1.png"; }; }
# True when each "x y colour" of the picture area matches a fresh screenshot;
# a pixel's colour is the nearest of the games' colours, or "other".
picture_is() {
  local format='' want=''
  while (($#)); do
    local p="p{$((ox + $1)),$((oy + $2))}"
    format+="%[fx:255*$p.r] %[fx:255*$p.g] %[fx:255*$p.b] " want+=" $3"
    shift 3
  done
  screenshot
  why=$(convert "$shot" -format "$format" info: | awk 'BEGIN {
      split("white 255 255 255 yellow 243 191 63 red 219 43 0 blue 35 59 239 green 0 171 0 grey 128 128 128 black 0 0 0", t)
      for (i = 1; i < 28; i += 4) c[t[i]] = t[i + 1] " " t[i + 2] " " t[i + 3] }
    { for (i = 1; i < NF; i += 3) { best = "other"; least = 6400
        for (n in c) { split(c[n], v); d = ($i - v[1])^2 + ($(i + 1) - v[2])^2 + ($(i + 2) - v[3])^2
          if (d < least) { least = d; best = n } }
        printf " %s", best } }')
  [ "$why" = "$want" ]
}
see() { expect 20 "$1" picture_is "${@:2}"; }
# Counts in a rectangle of the picture area of a fresh screenshot: colours, white pixels.
crop() { screenshot && convert "$shot" -crop "$3x$4+$((ox + $1))+$((oy + $2))" +repage "${@:5}"; }
colours() { crop "$1" "$2" "$3" 1 -format %k info:; }
hard_edge() { [ "$(colours "$@")" = 2 ]; }
whites() { crop "$@" -fuzz 10% -fill black +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:; }
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
# Two screenshots of the picture area, the given seconds apart, differ.
moves() {
  crop 0 0 "$WIDTH" $((HEIGHT - 25)) "$work/a.png" && sleep "${1:-0.5}" && crop 0 0 "$WIDTH" $((HEIGHT - 25)) "$work/b.png"
  [ "$(differ "$work/a.png" "$work/b.png")" != 0 ]
}

size_of() { stat -c %s "$1"; }
grows_past() { [ "$(size_of "$audio")" -ge "$1" ]; }
# Bytes of a sound file other than silence (128), from a byte offset on.
loud() { tail -c +$((${2:-0} + 1)) "$1" | LC_ALL=C tr -d '\200' | wc -c; }
# After a change of sound: skips what the device made before it (two more
# 50 ms buffers) and counts the loud bytes of about a second after.
sound_after() {
  expect 10 "the audio device stopped writing" grows_past $(($(size_of "$audio") + 4410))
  local from
  from=$(size_of "$audio")
  expect 10 "the audio device stopped writing" grows_past $((from + 44100))
  loud "$audio" "$from"
}
# A battery file of desktop_view: 8192 bytes with its signature; prints its frame count.
frames() { [ "$(size_of "$1")" = 8192 ] && [ "$(dd if="$1" bs=1 skip=4096 count=6 status=none)" = CORVEL ] &&
  od -An -tu4 -N 3 "$1" | tr -d ' '; }
options_are() { # keep_aspect sharp_pixels scale
  printf 'keep_aspect=%s\nsharp_pixels=%s\nscale=%s\n' "$@" | cmp -s - "$options" || fail "options: $(cat "$options")"
}

# --- The images, the recent list and a battery file --------------------------
poke() { printf "\\x$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; } # file offset hex-byte
for game in red:16 blue:12 green:1a "red copy:16"; do # the backdrop colour is at file offset 32768 ($FFF0)
  cp "$cartridges/desktop_view.nes" "$work/roms/${game%:*}.nes" && poke "$work/roms/${game%:*}.nes" 32768 "${game#*:}"
done
# blue has been played before: five boots in its battery RAM.
head -c 8192 /dev/zero >"$work/roms/blue.sav" && poke "$work/roms/blue.sav" $((0x1020)) 05
# The recent list, one image of it gone.
printf '%s\n' "$work/roms/blue.nes" "$work/roms/missing.nes" "$work/roms/green.nes" | tee "$work/saved" >"$settings"

step "usage texts"
for program in "$corvel" "$headless"; do
  name=$(basename "$program") status=0
  out=$("$program" --help) && grep -q "^usage: $name " <<<"$out" || fail "$name --help"
  "$program" --version | grep -qx "$name [0-9]*\.[0-9]*\.[0-9]*" || fail "$name --version"
  "$program" --no-such-option >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 64 ] && [ ! -s "$work/out" ] && grep -q "^usage: $name " "$work/err" || fail "$name --no-such-option: $status"
done
grep -q "F12 " <<<"$("$corvel" --help)" || fail "corvel --help does not list the keys"
# An argument that names a file is the image, even one named like an option;
# "--" ends the options. (corvel is started both ways below.)
cp "$work/roms/blue.nes" "$work/roms/--help"
(cd "$work/roms" && "$headless" --frames 1 --screenshot "$work/1.png" --help &&
  "$headless" --frames 60 --screenshot "$work/blue.png" -- --help) >/dev/null 2>&1 && [ -s "$work/1.png" ] ||
  fail "corvel-headless: a file named --help is not an image, or -- does not end the options"

step "an audio device that cannot be opened: a box says why, exit status 1"
start SDL_AUDIODRIVER=no-such-driver red.nes
answer Corvel no_audio_device
ended 1
logged "cannot open the audio device: .*no-such-driver" || fail "stderr does not name the audio device"
[ ! -e "$work/roms/red.sav" ] && cmp -s "$work/saved" "$settings" || fail "a failed start wrote a battery file or the settings"

step "a game from the command line (a relative path), the keys"
launch red.nes
size_is 512 537 || fail "the default window"
see "red backdrop with a white block" 40 40 red 256 256 white 470 470 red
keep_shot game
focus && xdotool keydown space
see "backdrop while A is held" 40 40 yellow
xdotool keyup space
see "backdrop after A is released" 40 40 red
press shift F2
expect 10 "no state file red(2).sav" eval '[ "$(head -c 11 "$work/roms/red(2).sav" 2>/dev/null)" = CorvelState ]'
press F2
# "LOADED STATE 2": the L's left column is lit on the text's third row, picture
# texel (16, 226), which "SAVED" leaves dark. A texel is 512 / 256 = 2 pixels
# wide and 512 / 240 pixels high.
see "message of the load" 33 483 white
keep_shot game_message
press v # fast-forward
see "picture after fast-forward" 40 40 red

step "the gallery: previews, hover label, a click on a preview"
click 75 12
# Cells are a third of 512 pixels, each sampled at its top-left backdrop. The
# list: red (from the command line), blue, missing (no cell), green.
see "gallery previews" 24 24 red 194 24 blue 365 24 green 24 194 grey 365 194 grey 365 365 grey
xdotool mousemove --window "$window" 256 110
# "BLUE.NES": the B's top row is lit at texel (17, 224), where the L of an
# earlier "LOADED STATE 2" is dark.
see "hover label over the blue preview" 35 479 white
keep_shot gallery
click 256 110
see "the blue game" 40 40 blue 256 256 white 470 470 blue
xdotool mousemove --window "$window" 256 600

step "Software Reset, ROM Info, About; F12 keeps the game's picture"
menu 152 45
menu 228 45 && answer "ROM Info" rom_info
menu 21 58 && answer About about
see "the game after the boxes" 40 40 blue
press F12 && press F12
pictures=$HOME/Shots/Corvel
expect 10 "no screenshots in $pictures" test -s "$pictures/blue-002.png"
[ "$(identify -format '%w x %h' "$pictures/blue-001.png")" = "256 x 240" ] &&
  [ "$(differ "$pictures/blue-001.png" "$work/blue.png")" = 0 ] || fail "the screenshot is not the game's picture"
logged "^Screenshot Saved$" || fail "no Screenshot Saved"

step "resizing stretches the picture; full screen"
xdotool windowsize "$window" 800 325
# 256 x 240 on 800 x 300 pixels: the white block (x 96-159, y 88-151) lands around (400, 150).
see "stretched picture" 20 20 blue 400 150 white 780 280 blue 270 150 blue
keep_shot stretched
press F11
# Without a window manager the full-screen window is one a window manager
# would not manage, and so it has no title: it is the window of the screen's size.
expect 10 "no window of the screen's size" eval "xwininfo -root -children | grep -q ' 1024x768+0+0 '"
ox=0 oy=0
see "the game over the whole screen" 20 20 blue 512 384 white 1000 750 blue
keep_shot full_screen
press Escape
expect 10 "Escape did not leave full screen" eval 'find_window && size_is 800 325'
see "the windowed game" 40 40 blue

step "size presets, Sharp Pixels and Keep Aspect Ratio; Escape quits"
view 5 && expect 10 "Size 3x" size_is 768 745
# The white block's left edge (picture x 96) at 3x: linear filtering blends it
# over a pixel or two, nearest-neighbour leaves two colours only.
see "the game at 3x" 40 40 blue 384 360 white
[ "$(colours 270 360 30)" -gt 2 ] || fail "linear filtering shows hard edges"
view 2 && expect 10 "Sharp Pixels" hard_edge 270 360 30
keep_shot sharp_3x
view 1
# 768 x 720 holds a picture of the NES's shape 768 x 630, bars of 45 above and below.
see "bars of Keep Aspect Ratio" 384 20 black 384 700 black 40 60 blue 384 360 white 10 360 blue
keep_shot keep_aspect
view 4 && expect 10 "Size 2x with Keep Aspect Ratio" size_is 585 505
# At 1x the window is no narrower than its menu bar.
view 3 && expect 10 "Size 1x" eval 'geometry && [ "$HEIGHT" = 265 ] && [ "$WIDTH" -ge 293 ] && [ "$WIDTH" -le 340 ]'
view 4 && expect 10 "Size 2x again" size_is 585 505
quit

step "files left behind"
# The command line's image first as an absolute path, the list otherwise in its
# old order (opening from the gallery adds nothing), nine lines.
printf '%s\n' "$work/roms/red.nes" "$work/roms/blue.nes" "$work/roms/missing.nes" "$work/roms/green.nes" "" "" "" "" "" \
  >"$work/saved"
cmp -s "$work/saved" "$settings" || fail "settings: $(cat "$settings")"
# red booted once; blue had five boots, was opened from the gallery (its file
# read afresh) and reset once.
for game in red:1 blue:7; do
  [ -n "$(frames "$work/roms/${game%:*}.sav")" ] && [ "$(od -An -tu1 -j 4128 -N 1 "$work/roms/${game%:*}.sav")" -eq "${game#*:}" ] ||
    fail "${game%:*}.sav: size, signature or boot count"
done
[ ! -e "$work/roms/green.sav" ] || fail "a gallery preview wrote its battery file"
[ "$(loud "$audio")" -gt 1000 ] || fail "the tone was not played"
options_are 1 1 2

step "the options again; an image that is not there; the gallery through the bars"
xdotool mousemove 1000 750
launch gone.nes
size_is 585 505 || fail "Size 2x was not kept"
# "CANNOT OPEN: FILE NOT FOUND" on the message line: the D, its 27th glyph, has
# its left column lit at texel (172, 226), right of any label.
see "the reason of the failed open" 394 453 white
keep_shot open_failure
xdotool windowsize "$window" 512 537 && expect 10 "resized" size_is 512 537
# 512 x 512 holds the grid 512 x 420, bars of 46 above and below; cells are 170 x 140.
see "the gallery of the list, with bars" 256 20 black 256 500 black 24 70 red 200 70 blue 370 70 green 256 250 grey
keep_shot gallery_keep_aspect
[ -s "$audio" ] && [ "$(loud "$audio")" = 0 ] || fail "the gallery made sound"
# y = 176 is in the first row of the grid, the second of the area.
click 256 $((25 + 176))
see "the blue game from the first row" 40 60 blue 256 20 black
quit
logged "^Cannot Open: File Not Found$" && logged "cannot open gone.nes" || fail "the failed open was not printed"
cmp -s "$work/saved" "$settings" || fail "the gallery changed the settings"

step "pause and mute; battery RAM that can be saved nowhere"
# lifecycle_motion scrolls, moves sprites and plays every frame; this copy has
# battery RAM, whose file's name a folder holds (and a file the saves folder's).
cp "$cartridges/lifecycle_motion.nes" "$work/roms/-motion.nes" && poke "$work/roms/-motion.nes" 6 03
mkdir "$work/roms/-motion.sav" && : >"$work/no-saves"
launch XDG_DATA_HOME="$work/no-saves" -motion.nes
expect 20 "the moving game does not move" moves
press p && expect 10 "no Paused" logged "^Paused$"
[ "$(sound_after)" = 0 ] || fail "sound while paused"
expect 10 "the picture changes while paused" eval '! moves 1'
keep_shot paused
press p && expect 10 "the game does not go on after the pause" moves
press m && expect 10 "no Sound Muted" logged "^Sound Muted$"
[ "$(sound_after)" = 0 ] || fail "sound while muted"
expect 10 "the game stopped while muted" moves
press m && expect 10 "no Sound On" logged "^Sound On$"
[ "$(sound_after)" -gt 1000 ] || fail "no sound after the mute"
press Escape && answer Corvel unable_to_save_sram
ended 0
logged "^Unable to Save SRAM$" || fail "stderr lacks Unable to Save SRAM"

for signal in TERM INT HUP; do
  step "SIG$signal ends corvel through its shutdown; a damaged options file"
  rm "$settings"
  # Each line is read alone: only sharp_pixels=1 is whole.
  printf 'keep_aspect=yes\nsharp_pixels=1\r\nscale=9\ngarbage\n\x00\xff\n' >"$options"
  before=$(frames "$work/roms/red.sav")
  launch -- red.nes
  size_is 512 537 || fail "the default window"
  see "the red game without bars" 256 2 red 256 508 red
  # At 2x linear filtering would blend the block's edge (picture x 96).
  expect 10 "Sharp Pixels was not read" hard_edge 180 256 20
  kill -s "$signal" "$pid" && ended 0 2
  [ "$(frames "$work/roms/red.sav")" -gt "$before" ] || fail "battery file not written"
  [ "$(head -1 "$settings")" = "$work/roms/red.nes" ] || fail "settings not written"
  options_are 0 1 0
done

step "an empty gallery; files dropped on it; the X server goes away"
echo "$work/roms/missing.nes" >"$settings" && rm "$options"
launch
# "OPEN AN IMAGE: FILE, OPEN ROM...": 32 glyphs centred on texel rows 117-121
# (pixels 249-259), away from the message line.
expect 20 "no hint in the empty gallery" eval '[ "$(whites 40 240 432 30)" -gt 300 ]'
[ "$(whites 0 440 512 60)" = 0 ] || fail "the hint is on the message line"
see "an empty grid" 24 24 grey 256 140 grey
keep_shot empty_gallery
"$drop" "$window" 200 200 "file://$work/roms/gone.nes" || fail "the window refused a drop"
expect 10 "a failed drop was not reported" logged "cannot open $work/roms/gone.nes"
# Several URIs: the first .nes is taken, its name percent-encoded.
"$drop" "$window" 200 200 $'file:///no/such/notes.txt\r\nfile://'"$work"$'/roms/red%20copy.nes\r\nfile:///x/y.nes\r\n' ||
  fail "the window refused the drop"
see "the dropped game" 40 40 red 256 256 white
kill "$xpid" && ended 1
[ "$(frames "$work/roms/red copy.sav")" -gt 0 ] || fail "battery file not written when the display went"
[ "$(head -1 "$settings")" = "$work/roms/red copy.nes" ] || fail "the dropped image was not kept in the list"
echo "desktop test passed"
