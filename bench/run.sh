#!/usr/bin/env bash
# Emulation speed: builds a Release headless tool and runs
# `corvel-headless --bench --frames 3000` (sound on) three times per image,
# printing the median frames per second and its ratio to 562.5 fps, the speed
# that fast-forward and the gallery's warm-up need (nine frames per 16 ms).
#
#   bench/run.sh [EXTRA.nes ...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
frames=${FRAMES:-3000}
runs=${RUNS:-3}

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVEL_TESTS=OFF -DCORVEL_DESKTOP=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" > /dev/null
tool="$build/corvel-headless"

images=()
for name in picture_sprites picture_scroll sound_notes demo; do
  [ -f "$build/cartridges/$name.nes" ] && images+=("$build/cartridges/$name.nes")
done
# The public demos, when ../shared is there: many sprites, an MMC3 whose
# interrupt splits the screen on every few lines, and scroll splits timed
# from a sprite-zero poll.
for demo in spritecans-2011/spritecans smwstomp/smwstomp SimpleParallaxDemo/SimpleParallaxDemo; do
  [ -f "../shared/roms/demos/$demo.nes" ] && images+=("../shared/roms/demos/$demo.nes")
done
images+=("$@")

# Median of the fps figures printed by `runs` runs of the tool with the given arguments.
median_fps() {
  for _ in $(seq "$runs"); do
    "$tool" --bench --frames "$frames" "$@" 2>/dev/null | awk '/^frames:/ {print $6}'
  done | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}

printf '%-28s %10s %8s\n' image "fps" "x562.5"
for image in "${images[@]}"; do
  fps=$(median_fps --sound on "$image")
  printf '%-28s %10.1f %8.2f\n' "$(basename "$image")" "$fps" "$(awk -v f="$fps" 'BEGIN {print f / 562.5}')"
done

# The gallery: nine consoles, the first with sound on, the others silent.
gallery_image="${images[0]}"
total=$(median_fps --consoles 9 "$gallery_image")
printf '\ngallery (%s, 9 consoles): %.1f fps in total, %.1f per console\n' \
  "$(basename "$gallery_image")" "$total" "$(awk -v f="$total" 'BEGIN {print f / 9}')"
