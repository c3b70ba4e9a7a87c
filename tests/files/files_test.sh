#!/usr/bin/env bash
# Save files and failures, through the headless tool as a player meets them:
# folders that cannot be written, an installed tree, one image reached three
# ways, the battery file and a state slot that share a name, signals, the
# periodic battery write and images that do not open.
#
#   files_test.sh HEADLESS CARTRIDGE_DIR [BUILD_DIR_TO_INSTALL]
#
# Run as root, it prepares a scratch folder and runs itself again as the
# unprivileged user 65534, for whom permissions hold.
set -euo pipefail

if [ "$(id -u)" -eq 0 ] && [ -z "${CORVEL_FILES_TEST_WORK:-}" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  mkdir -p "$work/tools" "$work/user"
  cp "$1" "$work/tools/corvel-headless"
  cp "$2/desktop_view.nes" "$2/demo.nes" "$2/lifecycle_resume.nes" "$0" "$work/tools/"
  [ -z "${3:-}" ] || cmake --install "$3" --prefix "$work/prefix" >/dev/null
  chown -R 65534:65534 "$work/user"
  status=0
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME="$work/user" XDG_DATA_HOME="$work/user/data" CORVEL_FILES_TEST_WORK="$work/user" \
    bash "$work/tools/files_test.sh" "$work/tools/corvel-headless" "$work/tools" "${3:+$work/prefix}" ||
    status=$?
  exit "$status"
fi

headless=$(realpath "$1")
images=$(realpath "$2")
if [ -n "${CORVEL_FILES_TEST_WORK:-}" ]; then
  work=$CORVEL_FILES_TEST_WORK
  prefix=${3:-}  # installed by root
else
  work=$(mktemp -d)
  trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
  export HOME="$work" XDG_DATA_HOME="$work/data"
  prefix=
  if [ -n "${3:-}" ]; then
    prefix=$work/prefix
    cmake --install "$3" --prefix "$prefix" >/dev/null
    chmod -R a-w "$prefix"
  fi
fi
saves="$XDG_DATA_HOME/corvel/saves"

fail() { echo "FAIL: $*" >&2 && exit 1; }
step() { echo "-- $*"; }

# The 32-bit FNV-1a hash of a string, as 8 hex digits.
fnv1a() {
  local LC_ALL=C text=$1 hash=2166136261 i code
  for ((i = 0; i < ${#text}; i++)); do
    printf -v code '%d' "'${text:i:1}"
    hash=$((((hash ^ (code & 255)) * 16777619) & 0xFFFFFFFF))
  done
  printf '%08x' "$hash"
}
# The saves folder's name for an image: name-hash.sav or name-hash(N).sav.
saves_name() { # image [slot]
  local real
  real=$(realpath "$1")
  echo "$saves/$(basename "${real%.*}")-$(fnv1a "$(dirname "$real")")${2:+($2)}.sav"
}
# desktop_view counts its frames in battery RAM at $6000-$6002.
frame_count() { od -An -tu4 -N 3 "$1" | tr -d ' '; }
run() { "$headless" "$@" 2>"$work/err" >/dev/null; } # stderr goes to $work/err
said() { grep -qx "$1" "$work/err" || fail "expected '$1' on stderr, got: $(cat "$work/err")"; }

# --- A folder the player cannot write: the saves folder keeps the file ------
step "read-only folder"
mkdir -p "$work/ro"
cp "$images/desktop_view.nes" "$work/ro/game.nes"
chmod 555 "$work/ro"
run --frames 30 "$work/ro/game.nes" || fail "first run"
said "Saves Kept in the Saves Folder"
battery=$(saves_name "$work/ro/game.nes")
[ "$(stat -c %s "$battery")" -eq 8192 ] || fail "no battery file $battery"
first=$(frame_count "$battery")
run --frames 30 "$work/ro/game.nes" || fail "second run"
said "Loaded SRAM"
said "Saves Kept in the Saves Folder"
second=$(frame_count "$battery")
[ "$second" -gt "$first" ] && [ "$first" -gt 20 ] || fail "frame count $first then $second"
[ "$(ls -A "$work/ro")" = game.nes ] || fail "written beside the image: $(ls -A "$work/ro")"
# Once in the saves folder, the file stays there.
chmod 755 "$work/ro"
run --frames 30 "$work/ro/game.nes" || fail "third run"
[ "$(frame_count "$battery")" -gt "$second" ] || fail "the saves folder's file was not used"
[ "$(ls -A "$work/ro")" = game.nes ] || fail "written beside the image: $(ls -A "$work/ro")"

# Neither place can take the file: said on stderr, the run still ends well.
step "nowhere to save"
chmod 555 "$work/ro"
: >"$work/not-a-folder"
XDG_DATA_HOME="$work/not-a-folder" run --frames 5 "$work/ro/game.nes" || fail "run without a place to save"
said "Unable to Save SRAM"

# --- One image by a relative path, a symbolic link and its real path --------
step "one image, three ways"
mkdir -p "$work/roms" "$work/links"
cp "$images/desktop_view.nes" "$work/roms/game.nes"
ln -s "$work/roms/game.nes" "$work/links/other.nes"
(cd "$work/roms" && run --frames 10 game.nes) || fail "relative path"
run --frames 10 "$work/links/other.nes" || fail "symbolic link"
run --frames 10 --save-state 3 "$(realpath "$work/roms/game.nes")" || fail "real path"
[ "$(ls -A "$work/links")" = other.nes ] || fail "written beside the link: $(ls -A "$work/links")"
[ "$(frame_count "$work/roms/game.sav")" -ge 24 ] || fail "the three runs did not share one battery file"
run --frames 1 --load-state 3 "$work/links/other.nes" || fail "the link does not find slot 3"

# --- Game(1).sav is both Game(1).nes's battery file and Game.nes's slot 1 ---
step "name clash, state first"
mkdir -p "$work/clash1" "$work/clash2"
cp "$images/desktop_view.nes" "$work/clash1/Game.nes"
cp "$images/desktop_view.nes" "$work/clash1/Game(1).nes"
run --frames 5 --save-state 1 "$work/clash1/Game.nes" || fail "save slot 1"
run --frames 20 "$work/clash1/Game(1).nes" || fail "play Game(1)"
said "Saves Kept in the Saves Folder"
[ "$(head -c 11 "$work/clash1/Game(1).sav")" = CorvelState ] || fail "the state was replaced"
[ "$(stat -c %s "$work/clash1/Game(1).sav")" -eq 49582 ] || fail "the state changed size"
[ "$(frame_count "$(saves_name "$work/clash1/Game(1).nes")")" -ge 15 ] || fail "no battery file in the saves folder"
run --frames 1 --load-state 1 "$work/clash1/Game.nes" || fail "slot 1 no longer loads"

step "name clash, battery first"
cp "$images/desktop_view.nes" "$work/clash2/Game.nes"
cp "$images/desktop_view.nes" "$work/clash2/Game(1).nes"
run --frames 20 "$work/clash2/Game(1).nes" || fail "play Game(1)"
cp "$work/clash2/Game(1).sav" "$work/battery.copy"
run --frames 5 --save-state 1 "$work/clash2/Game.nes" || fail "save slot 1"
said "Saves Kept in the Saves Folder"
cmp -s "$work/clash2/Game(1).sav" "$work/battery.copy" || fail "the battery file was replaced"
[ "$(head -c 11 "$(saves_name "$work/clash2/Game.nes" 1)")" = CorvelState ] || fail "no state in the saves folder"
run --frames 1 --load-state 1 "$work/clash2/Game.nes" || fail "slot 1 does not load from the saves folder"
run --frames 5 "$work/clash2/Game(1).nes" && said "Loaded SRAM"
cmp -s <(head -c 3 "$work/clash2/Game(1).sav") <(head -c 3 "$work/battery.copy") && fail "the battery file was not played on"

# --- Save slots resume a run; the battery file is the running game's --------
step "save slots and the battery file"
mkdir -p "$work/slots"
cp "$images/lifecycle_resume.nes" "$work/slots/resume.nes"
run --frames 60 --save-state 2 "$work/slots/resume.nes" && said "Saved State 2" || fail "save slot 2"
run --blargg --frames 70 "$work/slots/resume.nes" && fail "the program passed without the state"
run --blargg --frames 70 --load-state 2 "$work/slots/resume.nes" || fail "no pass from slot 2"
for contents in "" "CorvelState but not much else"; do
  printf '%s' "$contents" >"$work/slots/resume(3).sav"
  run --blargg --frames 200 --load-state 3 "$work/slots/resume.nes" && status=0 || status=$?
  [ "$status" -eq 65 ] && said "Unable to Load State 3" || fail "refused slot: status $status"
done
# The program writes its status at $6000; companion consoles never write.
printf 'NES\x1a\x02\x01\x02' | dd of="$work/slots/resume.nes" bs=1 conv=notrunc status=none
head -c 8192 /dev/zero | tr '\0' 3 >"$work/slots/resume.sav"
run --frames 3 --consoles 3 "$work/slots/resume.nes" || fail "three consoles"
[ "$(grep -c "Loaded SRAM" "$work/err")" -eq 3 ] || fail "not every console read the battery file"
[ "$(od -An -tx1 -N1 "$work/slots/resume.sav" | tr -d ' ')" = 80 ] || fail "not the running game's status"
[ "$(od -An -c -j100 -N1 "$work/slots/resume.sav" | tr -d ' ')" = 3 ] || fail "RAM not kept"
run --blargg --frames 200 "$work/slots/resume.nes" || fail "with a battery"
[ "$(head -c 10 "$work/slots/resume.sav" | tail -c 6)" = Passed ] || fail "no result in the battery file"
# With sound off the running game's APU delivers nothing: the WAV is a header.
run --frames 20 --sound off --audio "$work/off.wav" "$work/slots/resume.nes" || fail "sound off"
run --frames 20 --audio "$work/on.wav" "$work/slots/resume.nes" || fail "sound on"
[ "$(stat -c %s "$work/off.wav")" -eq 44 ] && [ "$(stat -c %s "$work/on.wav")" -gt 20044 ] || fail "sound setting"

# --- Signals: the run stops after the frame, writes its outputs, 128 + N ----
for signal in INT HUP TERM; do
  step "SIG$signal"
  rm -f "$work/roms/game.sav" "$work/shot.png" "$work/roms/game(2).sav"
  "$headless" --frames 100000000 --screenshot "$work/shot.png" --save-state 2 "$work/roms/game.nes" \
    2>/dev/null &
  pid=$!
  sleep 1
  kill -s "$signal" "$pid"
  wait "$pid" && status=0 || status=$?
  [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal: exit status $status"
  [ -s "$work/shot.png" ] && [ -s "$work/roms/game(2).sav" ] || fail "SIG$signal: outputs not written"
  [ "$(frame_count "$work/roms/game.sav")" -gt 10 ] || fail "SIG$signal: battery file"
done

# --- The battery file is written while the game runs -----------------------
step "periodic battery write"
rm -f "$work/roms/game.sav"
"$headless" --frames 100000000 "$work/roms/game.nes" 2>/dev/null &
pid=$!
for _ in $(seq 600); do
  [ -e "$work/roms/game.sav" ] && break
  sleep 0.1
done
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
count=$(frame_count "$work/roms/game.sav" 2>/dev/null || echo 0)
[ "$count" -ge 3500 ] && [ "$count" -lt 7200 ] || fail "battery file of a running game: count $count"

# --- Images that do not open say why ---------------------------------------
step "images that do not open"
mkdir -p "$work/bad/folder.nes"
head -c 10 /dev/zero >"$work/bad/short.nes"
truncate -s 17M "$work/bad/huge.nes"
printf 'this is not an iNES image at all' >"$work/bad/text.nes"
{ printf 'NES\x1a\x00\x01'; head -c 10 /dev/zero; } >"$work/bad/empty.nes"
cp "$images/desktop_view.nes" "$work/bad/locked.nes"
chmod 000 "$work/bad/locked.nes"
while read -r name message; do
  run --frames 1 "$work/bad/$name" && status=0 || status=$?
  [ "$status" -eq 66 ] || fail "$name: exit status $status"
  said "$message"
done <<EOF
missing.nes Cannot Open: File Not Found
locked.nes Cannot Open: Permission Denied
folder.nes Cannot Open: Not a File
short.nes Cannot Open: Shorter Than a Header
huge.nes Cannot Open: Over 16 MB
text.nes Cannot Open: Not an iNES Image
empty.nes Cannot Open: No PRG-ROM
EOF
head -c 20000 "$images/desktop_view.nes" >"$work/bad/cut.nes"
run --frames 1 "$work/bad/cut.nes" || fail "a short image did not run"
said "Short Image Padded with Zeros"
{ printf 'NES\x1a\x02\x01\xb0'; tail -c +8 "$images/desktop_view.nes"; } >"$work/bad/board11.nes"
run --frames 30 "$work/bad/board11.nes" || fail "a board Corvel lacks did not run as the plain one"
said "Unsupported Mapper: 0B"

# --- The installed demo keeps its high score --------------------------------
if [ -n "$prefix" ]; then
  step "installed tree"
  demo="$prefix/share/corvel/demo.nes"
  [ ! -w "$(dirname "$demo")" ] || fail "the installed tree is writable"
  run --frames 60 "$demo" || fail "demo run"
  said "Saves Kept in the Saves Folder"
  [ "$(stat -c %s "$(saves_name "$demo")")" -eq 8192 ] || fail "no demo battery file in the saves folder"
  run --frames 1 "$prefix/share/corvel/demo.nes" || fail "second demo run"
  said "Loaded SRAM"
fi

echo "files test passed"
