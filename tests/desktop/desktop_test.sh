#!/usr/bin/env bash
# The desktop shell, for real: an X server (Xvfb), real key presses and mouse
# clicks (xdotool), real screenshots (ImageMagick) and SDL's disk audio driver,
# which writes the played sound to a file.
#
#   desktop_test.sh CORVEL CARTRIDGE_DIR [SCREENSHOT_DIR]
#
# The cartridge desktop_view shows a backdrop colour with a white block,
# turns the backdrop yellow while Space (A) is held, plays a tone and counts
# its boots in battery RAM. Copies of it with other backdrop colours stand
# for different games in the gallery.
set -euo pipefail

corvel=$(realpath "$1")
cartridges=$(realpath "$2")
shots=${3:-}

# Re-run under a private X server. -noreset: the server would otherwise reset
# whenever its last client leaves, refusing connections for a moment, and
# this script starts corvel several times.
if [ -z "${CORVEL_UNDER_XVFB:-}" ]; then
  export CORVEL_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi

work=$(mktemp -d)
work=$(realpath "$work")
export XDG_DATA_HOME="$work/data"  # the saves folder, if anything goes there
corvel_pid=
cleanup() {
  if [ -n "$corvel_pid" ] && kill -0 "$corvel_pid" 2>/dev/null; then kill "$corvel_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "$shots" ]; then mkdir -p "$shots" && import -window root "$shots/failure.png" || true; fi
  [ -f "$work/corvel.log" ] && sed 's/^/corvel: /' "$work/corvel.log" >&2
  exit 1
}
step() { echo "-- $(date +%T) $*"; }

# Polls a condition (a command) every 0.1 s for at most the given seconds.
wait_until() {
  local seconds=$1
  shift
  local tries=$((seconds * 10))
  while ! "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# --- The images, the settings and a battery file --------------------------
mkdir -p "$work/roms" "$work/config"
# The backdrop colour is the byte at file offset 32768 ($FFF0).
make_copy() { # name colour
  cp "$cartridges/desktop_view.nes" "$work/roms/$1.nes"
  printf "\\x$2" | dd of="$work/roms/$1.nes" bs=1 seek=32768 conv=notrunc status=none
}
make_copy red 16
make_copy blue 12
make_copy green 1a
# blue has been played before: five boots recorded in its battery RAM ($7020).
head -c 8192 /dev/zero >"$work/roms/blue.sav"
printf '\x05' | dd of="$work/roms/blue.sav" bs=1 seek=$((0x1020)) conv=notrunc status=none
# A recent list of three lines, one of them an image that no longer exists.
printf '%s\n' "$work/roms/blue.nes" "$work/roms/missing.nes" "$work/roms/green.nes" \
  >"$work/config/CorvelSettings.txt"

# Starts corvel in the images' folder with the given arguments, the sound
# going to the given file, and waits for its window.
window=
launch_corvel() { # audio-file [arguments]
  local audio=$1
  shift
  (
    cd "$work/roms"
    CORVEL_CONFIG_DIR="$work/config" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" \
      exec "$corvel" "$@"
  ) >"$work/corvel.log" 2>&1 &
  corvel_pid=$!
  wait_until 20 find_window || fail "no window titled Corvel"
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  read_geometry
}
# Window geometry: the picture area starts under the 25-pixel menu bar.
read_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  origin_x=$X
  origin_y=$((Y + 25))
}
start_corvel() { # audio-file [arguments]
  launch_corvel "$@"
  [ "$WIDTH" -eq 512 ] || fail "window width $WIDTH, expected 512"
  [ "$HEIGHT" -eq 537 ] || fail "window height $HEIGHT, expected 512 + menu bar"
}
find_window() {
  kill -0 "$corvel_pid" 2>/dev/null || fail "corvel ended at start-up"
  window=$(xdotool search --name '^Corvel$' 2>/dev/null | head -1)
  [ -n "$window" ]
}
quit_with_escape() {
  press Escape
  wait_until 20 exited || fail "corvel did not quit on Escape"
  local status=0
  wait "$corvel_pid" || status=$?
  corvel_pid=
  [ "$status" -eq 0 ] || fail "exit status $status"
}
exited() { ! kill -0 "$corvel_pid" 2>/dev/null; }

shot="$work/shot.png"
screenshot() { import -window root "$shot"; }
keep_shot() { [ -z "$shots" ] || { mkdir -p "$shots" && cp "$shot" "$shots/$1.png"; }; }

# The colour class of a pixel of the picture area in the last screenshot.
colour_at() { # x y (picture-area pixels)
  local x=$((origin_x + $1)) y=$((origin_y + $2)) r g b
  read -r r g b < <(convert "$shot" -format \
    "%[fx:int(255*p{$x,$y}.r+0.5)] %[fx:int(255*p{$x,$y}.g+0.5)] %[fx:int(255*p{$x,$y}.b+0.5)]\n" info:)
  if [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]; then echo white
  elif [ "$r" -gt 180 ] && [ "$g" -gt 120 ] && [ "$b" -lt 110 ]; then echo yellow
  elif [ "$r" -gt 120 ] && [ "$g" -lt 110 ] && [ "$b" -lt 110 ]; then echo red
  elif [ "$b" -gt 150 ] && [ "$r" -lt 150 ] && [ "$g" -lt 150 ]; then echo blue
  elif [ "$g" -gt 100 ] && [ "$r" -lt 130 ] && [ "$b" -lt 100 ]; then echo green
  elif [ "$r" -ge 110 ] && [ "$r" -le 150 ] && [ "$g" -ge 110 ] && [ "$g" -le 150 ] &&
    [ "$b" -ge 110 ] && [ "$b" -le 150 ]; then echo grey
  elif [ "$r" -lt 40 ] && [ "$g" -lt 40 ] && [ "$b" -lt 40 ]; then echo black
  else echo "other($r,$g,$b)"; fi
}
# True when every "x y class" triple matches a fresh screenshot.
picture_is() {
  screenshot
  while [ $# -gt 0 ]; do
    [ "$(colour_at "$1" "$2")" = "$3" ] || return 1
    shift 3
  done
}
expect_picture() { # seconds description x y class ...
  local seconds=$1 what=$2
  shift 2
  if ! wait_until "$seconds" picture_is "$@"; then
    local got="" args=("$@")
    for ((i = 0; i < ${#args[@]}; i += 3)); do got+=" (${args[i]},${args[i + 1]})=$(colour_at "${args[i]}" "${args[i + 1]}")"; done
    fail "$what:$got"
  fi
}
focus() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
press() { # keys held together for a moment, then released in reverse order
  focus
  xdotool keydown "$@"
  sleep 0.3
  local reversed=()
  for key in "$@"; do reversed=("$key" "${reversed[@]}"); done
  xdotool keyup "${reversed[@]}"
}
click_at() { # window-relative x y; the button is held across several host steps
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  xdotool mouseup 1
}
# Menu bar items, window-relative.
menu_file=(21 12)
menu_gallery=(75 12)
menu_emulation=(152 12)
menu_debug=(228 12)
dialog_gone() { ! xdotool search --name "^$1\$" >/dev/null 2>&1; }
dialog_up() { # title; a box titled "Corvel" is told from the main window by its size
  dialog=
  local id
  for id in $(xdotool search --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowgeometry "$id" | grep -c 'Geometry: 512x537')" -eq 0 ] && dialog=$id
  done
  [ -n "$dialog" ]
}
close_dialog() { # title
  wait_until 10 dialog_up "$1" || fail "no dialog titled $1"
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  sleep 0.2
  screenshot
  keep_shot "$(echo "$1" | tr ' A-Z' '_a-z')"
  xdotool key --window "$dialog" Return 2>/dev/null || xdotool key Return
  wait_until 10 dialog_gone "$1" || fail "dialog $1 did not close"
  focus
}

# --- No audio device: a box says why, then exit status 1 --------------------
step "audio device that cannot be opened"
(
  cd "$work/roms"
  CORVEL_CONFIG_DIR="$work/config" SDL_AUDIODRIVER=no-such-driver exec "$corvel" red.nes
) >"$work/no_audio.out" 2>"$work/no_audio.err" &
corvel_pid=$!
wait_until 20 dialog_up Corvel || fail "no box about the audio device"
sleep 0.5
screenshot
keep_shot no_audio_device
xdotool key --window "$dialog" Return 2>/dev/null || xdotool key Return
wait_until 10 exited || fail "corvel did not end after the audio box"
status=0
wait "$corvel_pid" || status=$?
corvel_pid=
[ "$status" -eq 1 ] || fail "exit status $status without an audio device"
grep -q "cannot open the audio device: .*no-such-driver" "$work/no_audio.err" ||
  fail "stderr does not name the audio device: $(cat "$work/no_audio.err")"
[ ! -e "$work/roms/red.sav" ] || fail "a failed start wrote a battery file"
cmp -s "$work/config/CorvelSettings.txt" <(printf '%s\n' "$work/roms/blue.nes" "$work/roms/missing.nes" "$work/roms/green.nes") ||
  fail "a failed start rewrote the settings"

# --- Start with an image on the command line (a relative path) ------------
step "start corvel red.nes"
start_corvel "$work/audio.raw" red.nes

# --- The game's picture ---------------------------------------------------
step "game picture"
expect_picture 20 "red backdrop with a white block" 40 40 red 256 256 white 470 470 red
keep_shot game

step "Space reaches the game as the A button"
focus
xdotool keydown space
expect_picture 10 "backdrop while A is held" 40 40 yellow
xdotool keyup space
expect_picture 10 "backdrop after A is released" 40 40 red

# --- Save states ----------------------------------------------------------
step "Shift+F2 saves slot 2"
press shift F2
state_saved() { [ -s "$work/roms/red(2).sav" ]; }
wait_until 10 state_saved || fail "no state file red(2).sav"
[ "$(head -c 11 "$work/roms/red(2).sav")" = CorvelState ] || fail "state file lacks its signature"

step "F2 loads slot 2"
press F2
# "LOADED STATE 2": the L's left column is lit on the text's third row, picture
# texel (16, 226), which "SAVED" leaves dark. A texel is 512 / 256 = 2 pixels
# wide and 512 / 240 pixels high.
expect_picture 10 "message of the load" 33 483 white
keep_shot game_message

step "V fast-forwards"
focus
xdotool keydown v
sleep 0.5
xdotool keyup v
expect_picture 10 "picture after fast-forward" 40 40 red

# --- The gallery ----------------------------------------------------------
step "Gallery from the menu bar"
click_at "${menu_gallery[@]}"
# Cells are a third of 512 pixels; each is sampled at its top-left backdrop.
# Recent list: red (from the command line), blue, missing (no cell), green.
cell() { echo "$((($1 % 3) * 512 / 3 + 24)) $((($1 / 3) * 512 / 3 + 24))"; }
# shellcheck disable=SC2046
expect_picture 20 "gallery previews" $(cell 0) red $(cell 1) blue $(cell 2) green \
  $(cell 3) grey $(cell 5) grey $(cell 8) grey

step "hover label"
xdotool mousemove --window "$window" 256 $((25 + 85))
# "BLUE.NES": the B's top row is lit at texel (17, 224), where the L of an
# earlier "LOADED STATE 2" is dark.
expect_picture 10 "hover label over the blue preview" 35 479 white
keep_shot gallery

step "click on the blue preview"
click_at 256 $((25 + 85))
expect_picture 20 "the blue game" 40 40 blue 256 256 white 470 470 blue
xdotool mousemove --window "$window" 256 600

step "Software Reset"
click_at "${menu_emulation[@]}"
click_at "${menu_emulation[0]}" 45
sleep 0.3

step "ROM Info and About"
click_at "${menu_debug[@]}"
click_at "${menu_debug[0]}" 45
close_dialog "ROM Info"
click_at "${menu_file[@]}"
click_at "${menu_file[0]}" 58
close_dialog "About"
expect_picture 10 "the game after the dialogs" 40 40 blue

step "resizing stretches the picture over the whole area"
xdotool windowsize "$window" 800 325
# The 256 x 240 picture on 800 x 300 pixels: the white block (picture x
# 96-159, y 88-151) lands around (400, 150).
expect_picture 10 "stretched picture" 20 20 blue 400 150 white 780 280 blue 270 150 blue
keep_shot stretched

# --- Escape quits -----------------------------------------------------------
step "Escape"
quit_with_escape

step "files left behind"
# Settings: nine lines, the command line's image first as an absolute path,
# the list otherwise in its old order (opening from the gallery adds nothing).
mapfile -t lines <"$work/config/CorvelSettings.txt"
[ "${#lines[@]}" -eq 9 ] || fail "settings file has ${#lines[@]} lines"
expected=("$work/roms/red.nes" "$work/roms/blue.nes" "$work/roms/missing.nes" "$work/roms/green.nes" "" "" "" "" "")
for i in $(seq 0 8); do
  [ "${lines[i]}" = "${expected[i]}" ] || fail "settings line $((i + 1)): '${lines[i]}'"
done

battery_byte() { od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' '; }
for name in red blue; do
  [ "$(stat -c %s "$work/roms/$name.sav")" -eq 8192 ] || fail "$name.sav is not 8192 bytes"
  [ "$(dd if="$work/roms/$name.sav" bs=1 skip=$((0x1000)) count=6 status=none)" = CORVEL ] ||
    fail "$name.sav lacks the game's signature"
done
# red booted once; blue had five boots, was opened from the gallery (its file
# read afresh) and reset once from the menu.
[ "$(battery_byte "$work/roms/red.sav" $((0x1020)))" = 1 ] || fail "red.sav boot count"
[ "$(battery_byte "$work/roms/blue.sav" $((0x1020)))" = 7 ] || fail "blue.sav boot count"
[ ! -e "$work/roms/green.sav" ] || fail "a gallery preview wrote its battery file"

# Sound: the game's tone reached the device (silence is 128).
[ -s "$work/audio.raw" ] || fail "no audio written"
loud=$(od -An -tu1 -v "$work/audio.raw" | tr -s ' ' '\n' | grep -c -v -E '^(128)?$' || true)
[ "$loud" -gt 1000 ] || fail "the tone was not played ($loud non-silent bytes)"

# --- A second run without an image: the gallery of the saved list -----------
# The image named on the command line is gone: the gallery shows, with the
# reason on the message line ("CANNOT OPEN: FILE NOT FOUND": the D, its 27th
# glyph, has its left column lit at texel (172, 226), far right of any label).
step "start corvel with an image that is not there"
xdotool mousemove 1000 750
start_corvel "$work/audio2.raw" gone.nes
expect_picture 10 "the reason of the failed open" 345 483 white
keep_shot open_failure
# shellcheck disable=SC2046
expect_picture 20 "gallery at start-up" $(cell 0) red $(cell 1) blue $(cell 2) green $(cell 4) grey
keep_shot gallery_at_start
quit_with_escape
grep -qx "Cannot Open: File Not Found" "$work/corvel.log" || fail "the failed open was not printed"
grep -q "cannot open gone.nes" "$work/corvel.log" || fail "the failed path was not printed"
cmp -s "$work/config/CorvelSettings.txt" <(printf '%s\n' "${expected[@]}") ||
  fail "the gallery alone changed the settings"
# Gallery previews are silent: the device played only silence.
loud=$(od -An -tu1 -v "$work/audio2.raw" | tr -s ' ' '\n' | grep -c -v -E '^(128)?$' || true)
[ "$loud" -eq 0 ] || fail "the gallery made sound ($loud non-silent bytes)"

# --- Signals and a lost display still keep the battery file and the list --
frames_in() { od -An -tu4 -N 3 "$1" | tr -d ' '; }  # desktop_view's frame count
for signal in TERM INT HUP; do
  step "SIG$signal ends corvel through its shutdown"
  rm -f "$work/config/CorvelSettings.txt"
  before=$(frames_in "$work/roms/red.sav")
  start_corvel "$work/audio3.raw" red.nes
  expect_picture 20 "the red game" 40 40 red
  kill -s "$signal" "$corvel_pid"
  wait_until 2 exited || fail "corvel did not end within a second of SIG$signal"
  status=0
  wait "$corvel_pid" || status=$?
  corvel_pid=
  [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status"
  [ "$(frames_in "$work/roms/red.sav")" -gt "$before" ] || fail "SIG$signal: battery file not written"
  [ "$(head -1 "$work/config/CorvelSettings.txt")" = "$work/roms/red.nes" ] || fail "SIG$signal: settings"
done

# Battery RAM that can be saved nowhere (a folder holds the battery file's
# name, a file the saves folder's): a box says so at quit.
step "a battery file that cannot be written at quit"
mkdir -p "$work/locked/red.sav"
cp "$work/roms/red.nes" "$work/locked/red.nes"
: >"$work/no-data"
(
  cd "$work/locked"
  XDG_DATA_HOME="$work/no-data" CORVEL_CONFIG_DIR="$work/config" SDL_AUDIODRIVER=dummy exec "$corvel" red.nes
) >"$work/corvel.log" 2>&1 &
corvel_pid=$!
wait_until 20 find_window || fail "no window titled Corvel"
focus
press Escape
wait_until 10 dialog_up Corvel || fail "no box about the battery file"
sleep 0.3
screenshot
keep_shot unable_to_save_sram
xdotool key --window "$dialog" Return 2>/dev/null || xdotool key Return
wait_until 10 exited || fail "corvel did not end after the box"
wait "$corvel_pid" || fail "exit status $? after the box"
corvel_pid=
grep -qx "Unable to Save SRAM" "$work/corvel.log" || fail "stderr lacks Unable to Save SRAM"

step "the X server goes away under corvel"
rm -f "$work/config/CorvelSettings.txt"
before=$(frames_in "$work/roms/red.sav")
display=:$((100 + RANDOM % 400))
# -noreset: without it the server resets when xdotool, its first client, leaves,
# and refuses connections for a moment (corvel could not open it).
Xvfb "$display" -screen 0 640x600x24 -noreset >/dev/null 2>&1 &
xvfb_pid=$!
display_up() { DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1; }
window_up() { DISPLAY=$display xdotool search --name '^Corvel$' >/dev/null 2>&1; }
wait_until 10 display_up || fail "no second X server"
(
  cd "$work/roms"
  DISPLAY=$display CORVEL_CONFIG_DIR="$work/config" SDL_AUDIODRIVER=dummy exec "$corvel" red.nes
) >"$work/corvel.log" 2>&1 &
corvel_pid=$!
wait_until 20 window_up || fail "no window on the second X server"
# The game runs (on a busy machine the window shows well before the game).
red_game_up() {
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$(DISPLAY=$display xdotool search --name '^Corvel$' | head -1)")"
  origin_x=$X origin_y=$((Y + 25))
  DISPLAY=$display import -window root "$shot" && [ "$(colour_at 40 40)" = red ]
}
wait_until 20 red_game_up || fail "no game on the second X server"
sleep 1
kill "$xvfb_pid"
wait_until 10 exited || fail "corvel outlived its display"
status=0
wait "$corvel_pid" || status=$?
corvel_pid=
[ "$status" -eq 1 ] || fail "exit status $status after the display went"
[ "$(frames_in "$work/roms/red.sav")" -gt "$before" ] || fail "battery file not written when the display went"
[ "$(head -1 "$work/config/CorvelSettings.txt")" = "$work/roms/red.nes" ] || fail "settings not written when the display went"

# --- What the shell adds on top of the specified program ---------------------
# shellcheck source=comfort_steps.sh
source "$(dirname "$(realpath "$0")")/comfort_steps.sh"

echo "desktop test passed"
