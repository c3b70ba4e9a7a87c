# The desktop test's steps for what the shell adds on top of the specified
# program: usage texts, drops, screenshots, full screen, pause and mute, the
# View menu's choices, the options file and the empty gallery's hint.
# Sourced by desktop_test.sh, whose helpers and variables it uses.

# --- Usage texts ------------------------------------------------------------
step "usage texts"
headless=$(dirname "$corvel")/corvel-headless
for program in "$corvel" "$headless"; do
  name=$(basename "$program")
  out=$("$program" --help) || fail "$name --help: exit status $?"
  grep -q "^usage: $name " <<<"$out" || fail "$name --help prints no usage"
  "$program" --version | grep -qx "$name [0-9]*\.[0-9]*\.[0-9]*" || fail "$name --version"
  status=0
  "$program" --no-such-option >"$work/usage.out" 2>"$work/usage.err" || status=$?
  [ "$status" -eq 64 ] || fail "$name with an unknown option: exit status $status"
  [ ! -s "$work/usage.out" ] && grep -q "^usage: $name " "$work/usage.err" || fail "$name: usage not on stderr"
done
grep -q "F12 " <<<"$("$corvel" --help)" || fail "corvel --help does not list the keys"
# An argument that names a file is the image, even one that looks like an
# option; "--" ends the options.
cp "$work/roms/red.nes" "$work/roms/--help"
(cd "$work/roms" && "$headless" --frames 1 --help >/dev/null 2>&1) || fail "a file named --help is not an image"
(cd "$work/roms" && "$headless" --frames 1 -- red.nes >/dev/null 2>&1) || fail "-- does not end the options"
rm "$work/roms/--help"

# --- Shell comforts: what corvel adds on top of the defaults -------------------
xdnd_drop=$(dirname "$corvel")/corvel_xdnd_drop
export HOME="$work/home" XDG_CONFIG_HOME="$work/xdg"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
# The pictures folder of the user's desktop, with $HOME to expand.
echo 'XDG_PICTURES_DIR="$HOME/Shots"' >"$XDG_CONFIG_HOME/user-dirs.dirs"
menu_view=(285 12)
view_item() { # the View menu's items, top to bottom
  case $1 in
    full) echo 35 ;; aspect) echo 56 ;; sharp) echo 77 ;; 1x) echo 98 ;; 2x) echo 119 ;; 3x) echo 140 ;; 4x) echo 161 ;;
  esac
}
choose_view() { click_at "${menu_view[@]}"; click_at "${menu_view[0]}" "$(view_item "$1")"; }
geometry_is() { read_geometry; [ "$WIDTH" -eq "$1" ] && [ "$HEIGHT" -eq "$2" ]; }
expect_geometry() { wait_until 10 geometry_is "$1" "$2" || fail "$3: window $WIDTH x $HEIGHT, expected $1 x $2"; }
# The number of colours on a row of picture-area pixels of the last screenshot.
colours_on_row() { # x y width
  convert "$shot" -crop "$3x1+$((origin_x + $1))+$((origin_y + $2))" +repage -format %k info:
}
# The picture area of the last screenshot, for comparing two moments.
keep_area() { convert "$shot" -crop "${WIDTH}x$((HEIGHT - 25))+$origin_x+$origin_y" +repage "$1"; }
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
loud_bytes() { # file from to: bytes of sound other than silence (128)
  tail -c +"$(($2 + 1))" "$1" | head -c "$(($3 - $2))" | od -An -tu1 -v | tr -s ' ' '\n' | grep -c -v -E '^(128)?$' || true
}
size_of() { stat -c %s "$1"; }

step "a file dropped on the window opens; F12 keeps the picture"
cp "$work/roms/blue.nes" "$work/roms/blue copy.nes"
launch_corvel "$work/audio5.raw" red.nes
expect_picture 20 "the red game" 40 40 red
"$xdnd_drop" "$window" 200 200 text/uri-list \
  $'file:///no/such/notes.txt\r\nfile://'"${work// /%20}"$'/roms/blue%20copy.nes\r\nfile:///x/y.nes\r\n' ||
  fail "the window did not take the drop"
expect_picture 10 "the dropped blue game" 40 40 blue 256 256 white
"$xdnd_drop" "$window" 200 200 text/uri-list "file://$work/roms/gone.nes" || fail "second drop"
wait_until 10 grep -q "cannot open $work/roms/gone.nes" "$work/corvel.log" || fail "a failed drop was not reported"
press F12
press F12
shots_dir="$HOME/Shots/Corvel"
wait_until 10 test -s "$shots_dir/blue copy-002.png" || fail "no screenshots in $shots_dir: $(ls "$shots_dir" 2>&1)"
[ "$(identify -format '%w x %h' "$shots_dir/blue copy-001.png")" = "256 x 240" ] || fail "screenshot size"
"$headless" --frames 60 --screenshot "$work/blue-headless.png" "$work/roms/blue copy.nes" >/dev/null 2>&1
[ "$(differing_pixels "$shots_dir/blue copy-001.png" "$work/blue-headless.png")" = 0 ] ||
  fail "the screenshot is not the game's picture"
grep -qx "Screenshot Saved" "$work/corvel.log" || fail "no Screenshot Saved"


step "full screen"
press F11
# Without a window manager the full-screen window is one the window manager
# would not manage, and so it has no title: it is the window of the screen's size.
full_screen_window() { xwininfo -root -children | grep -q ' 1024x768+0+0 '; }
wait_until 10 full_screen_window || fail "full screen: no window of the screen's size"
origin_x=0 origin_y=0  # no menu bar
expect_picture 10 "the game over the whole screen" 20 20 blue 512 384 white 1000 750 blue
keep_shot full_screen
press Escape
windowed() { window=$(xdotool search --name '^Corvel$' | head -1) && geometry_is 512 537; }
wait_until 10 windowed || fail "Escape did not leave full screen: $WIDTH x $HEIGHT"
expect_picture 10 "the windowed game" 40 40 blue
kill -0 "$corvel_pid" || fail "Escape in full screen quit"
quit_with_escape
printf 'keep_aspect=0\nsharp_pixels=0\nscale=0\n' | cmp -s - "$work/config/options.txt" ||
  fail "options file at quit: $(cat "$work/config/options.txt")"
[ "$(head -1 "$work/config/CorvelSettings.txt")" = "$work/roms/blue copy.nes" ] || fail "a dropped image is not recent"

step "pause and mute"
cp "$cartridges/lifecycle_motion.nes" "$work/roms/-motion.nes"
audio=$work/audio6.raw
launch_corvel "$audio" -- -motion.nes
# Two screenshots of the picture area, the given seconds apart, differ: the
# game runs (it scrolls and moves sprites every frame).
game_moves() {
  screenshot && keep_area "$work/a.png" && sleep "${1:-0.5}" && screenshot && keep_area "$work/b.png"
  [ "$(differing_pixels "$work/a.png" "$work/b.png")" != 0 ]
}
still_for_a_second() { ! game_moves 1; }
# The audio device has written two more 50 ms buffers since now: whatever
# it had made before a change of sound is in the file. Prints the size.
audio_settled() {
  local from
  from=$(size_of "$audio")
  wait_until 10 grows_past "$((from + 4410))" || fail "the audio device stopped writing"
  size_of "$audio"
}
grows_past() { [ "$(size_of "$audio")" -ge "$1" ]; }
wait_until 20 game_moves || fail "the moving game does not move"
press p
wait_until 10 grep -qx Paused "$work/corvel.log" || fail "no Paused"
silent_from=$(audio_settled)
wait_until 10 still_for_a_second || fail "the picture changes while paused"
keep_shot paused
[ "$(loud_bytes "$audio" "$silent_from" "$(size_of "$audio")")" -eq 0 ] || fail "sound while paused"
press p
wait_until 10 game_moves || fail "the game does not go on after the pause"
press m
wait_until 10 grep -qx "Sound Muted" "$work/corvel.log" || fail "no Sound Muted"
silent_from=$(audio_settled)
wait_until 10 game_moves || fail "the game stopped while muted"
wait_until 10 grows_past "$((silent_from + 44100))" || fail "the audio device stopped writing"
[ "$(loud_bytes "$audio" "$silent_from" "$(size_of "$audio")")" -eq 0 ] || fail "sound while muted"
press m
wait_until 10 grep -qx "Sound On" "$work/corvel.log" || fail "no Sound On"
loud_from=$(audio_settled)
wait_until 10 grows_past "$((loud_from + 44100))" || fail "the audio device stopped writing"
[ "$(loud_bytes "$audio" "$loud_from" "$(size_of "$audio")")" -gt 1000 ] || fail "no sound after the mute"
quit_with_escape

step "size presets, Sharp Pixels and Keep Aspect Ratio"
launch_corvel "$work/audio7.raw" red.nes
expect_picture 20 "the red game" 40 40 red
choose_view 3x
expect_geometry 768 745 "Size 3x"
# The white block's left edge (picture x 96) at 3x: linear filtering blends
# it over a pixel or two, nearest-neighbour leaves two colours only.
expect_picture 10 "the game at 3x" 40 40 red 384 360 white
[ "$(colours_on_row 270 360 30)" -gt 2 ] || fail "linear filtering shows hard edges"
choose_view sharp
hard_edges() { screenshot; [ "$(colours_on_row 270 360 30)" -eq 2 ]; }
wait_until 10 hard_edges || fail "Sharp Pixels: $(colours_on_row 270 360 30) colours across the edge"
keep_shot sharp_3x
choose_view aspect
# 768 x 720 holds a picture of the NES's shape 768 x 630, bars of 45 above and below.
expect_picture 10 "bars of Keep Aspect Ratio" 384 20 black 384 700 black 40 60 red 384 360 white 10 360 red
keep_shot keep_aspect
choose_view 2x
expect_geometry 585 505 "Size 2x with Keep Aspect Ratio"
choose_view 1x
# At 1x the window is no narrower than its menu bar.
one_x() { read_geometry; [ "$HEIGHT" -eq 265 ] && [ "$WIDTH" -ge 293 ] && [ "$WIDTH" -le 340 ]; }
wait_until 10 one_x || fail "Size 1x: $WIDTH x $HEIGHT"
choose_view 2x
expect_geometry 585 505 "Size 2x again"
quit_with_escape
printf 'keep_aspect=1\nsharp_pixels=1\nscale=2\n' | cmp -s - "$work/config/options.txt" ||
  fail "options file: $(cat "$work/config/options.txt")"

step "the options at the next start; the gallery through the bars"
printf '%s\n' "$work/roms/blue.nes" "$work/roms/green.nes" "$work/roms/red.nes" >"$work/config/CorvelSettings.txt"
launch_corvel "$work/audio8.raw"
expect_geometry 585 505 "kept Size 2x"
xdotool windowsize "$window" 512 537
expect_geometry 512 537 "resized"
# 512 x 512 holds the grid 512 x 420, with bars of 46 above and below; cells
# are 170 x 140. y = 176 is in the first row of the grid, the second of the area.
expect_picture 20 "gallery with bars" 256 20 black 256 500 black 24 70 blue 200 70 green 370 70 red 256 250 grey
keep_shot gallery_keep_aspect
click_at 256 $((25 + 176))
expect_picture 20 "the green game from the first row" 40 60 green 256 20 black
quit_with_escape

step "a damaged options file, rewritten at a SIGTERM"
printf 'keep_aspect=yes\nsharp_pixels=1\r\nscale=9\ngarbage\n\x00\xff\n' >"$work/config/options.txt"
start_corvel "$work/audio9.raw" red.nes
expect_picture 20 "no bars" 256 2 red 256 508 red
# At 2x, linear filtering would blend the block's edge (picture x 96).
edge_2x() { screenshot; [ "$(colours_on_row 180 256 20)" -eq 2 ]; }
wait_until 10 edge_2x || fail "Sharp Pixels was not read from the damaged file"
# A signal's shutdown writes the options too.
kill -s TERM "$corvel_pid"
wait_until 2 exited || fail "corvel did not end on SIGTERM"
wait "$corvel_pid" || fail "SIGTERM: exit status $?"
corvel_pid=
printf 'keep_aspect=0\nsharp_pixels=1\nscale=0\n' | cmp -s - "$work/config/options.txt" ||
  fail "options file rewritten: $(cat "$work/config/options.txt")"

step "an empty gallery says how to open an image"
printf '%s\n' "$work/roms/missing.nes" >"$work/config/CorvelSettings.txt"
rm -f "$work/config/options.txt"
start_corvel "$work/audio10.raw"
# White pixels in a rectangle of the picture area of a fresh screenshot.
white_pixels() { # x y width height
  screenshot
  convert "$shot" -crop "$3x$4+$((origin_x + $1))+$((origin_y + $2))" +repage -fuzz 10% -fill black \
    +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:
}
# "OPEN AN IMAGE: FILE, OPEN ROM...": 32 glyphs centred on texel rows
# 117-121 (pixels 249-259), nowhere near the message line.
hint_shown() { [ "$(white_pixels 40 240 432 30)" -gt 300 ]; }
wait_until 20 hint_shown || fail "no hint in the empty gallery ($(white_pixels 40 240 432 30) white pixels)"
[ "$(white_pixels 0 440 512 60)" -eq 0 ] || fail "the hint is on the message line"
expect_picture 10 "an empty grid" 24 24 grey 256 140 grey
keep_shot empty_gallery
quit_with_escape

