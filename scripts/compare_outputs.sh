#!/usr/bin/env bash
# Records or compares what every image produces: for each of our cartridges
# and, when ../shared is there, each public ROM, the picture, the sound and
# the saved state after FRAMES frames (600 by default), and the nestest trace.
# A change that must not alter behaviour shows no difference.
#
#   scripts/compare_outputs.sh record  DIR [HEADLESS]   writes DIR/<image>.{png,wav,state}
#   scripts/compare_outputs.sh compare DIR [HEADLESS]   runs again and compares with DIR
#
# HEADLESS defaults to build/release/corvel-headless (build it first).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
reference=${2:-}
tool=$(realpath "${3:-build/release/corvel-headless}")
frames=${FRAMES:-600}
if [ "$mode" != record ] && [ "$mode" != compare ] || [ -z "$reference" ]; then
  sed -n '2,10p' "$0" >&2
  exit 64
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"
out="$work/out"
mkdir -p "$out" "$reference"

images=(build/release/cartridges/*.nes)
if [ -d ../shared/roms ]; then
  while IFS= read -r image; do images+=("$image"); done < <(find ../shared/roms -name '*.nes' | sort)
fi

# One image: a fresh copy in its own folder, so that the state file lands
# beside it and no battery file of an earlier run is read.
run_image() { # image name
  local copy="$work/run/$2"
  rm -rf "$work/run" && mkdir -p "$copy"
  cp "$1" "$copy/image.nes"
  "$tool" --frames "$frames" --screenshot "$out/$2.png" --audio "$out/$2.wav" --save-state 1 \
    "$copy/image.nes" >/dev/null 2>&1 || true
  cp "$copy/image(1).sav" "$out/$2.state" 2>/dev/null || : >"$out/$2.state"
}

for image in "${images[@]}"; do
  run_image "$image" "$(basename "$image" .nes)"
done
nestest=../shared/roms/nestest/nestest.nes
if [ -f "$nestest" ]; then
  "$tool" --entry C000 --frames 2 --trace "$out/nestest.trace" "$nestest" >/dev/null 2>&1 || true
fi

if [ "$mode" = record ]; then
  cp "$out"/* "$reference"/
  echo "recorded $(find "$out" -type f | wc -l) outputs of ${#images[@]} images in $reference"
  exit 0
fi

differences=0
for file in "$reference"/*; do
  name=$(basename "$file")
  if ! cmp -s "$file" "$out/$name"; then
    echo "differs: $name"
    differences=$((differences + 1))
  fi
done
echo "compared $(find "$reference" -type f | wc -l) outputs: $differences differ"
[ "$differences" -eq 0 ]
