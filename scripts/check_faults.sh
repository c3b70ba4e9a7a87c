#!/usr/bin/env bash
# Does the test suite catch the faults a developer could plausibly make?
# Each fault below is one small edit of the source. The script copies the
# checkout to a scratch folder, builds it once (Release, tests on, no desktop
# shell), then for each fault applies the edit, rebuilds incrementally, runs
# ctest, notes whether any test failed, and undoes the edit.
#
#   scripts/check_faults.sh [NAME ...]    all faults, or those named
#
# CORVEL_FAULTS_DIR names the scratch folder (default /tmp/corvel-faults);
# CORVEL_FAULTS_CTEST adds ctest arguments, for example "-E Ppu" to see
# whether the other tests catch a fault.
#
# Prints one line per fault: caught, ESCAPED, or "not applied" when the text
# to change is no longer in the source (the fault list then needs updating).
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=${CORVEL_FAULTS_DIR:-/tmp/corvel-faults}
jobs=$(nproc)

faults=()
# fault NAME FILE OLD NEW: replace the one occurrence of OLD in FILE by NEW.
fault() { faults+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"); }

# The CPU.
fault adc-carry src/cpu/instructions.cpp 'set_flag(c, flag_c, result > 0xFF);' 'set_flag(c, flag_c, result >= 0xFF);'
fault sbc-borrow src/cpu/instructions.cpp '(1 - (c.p & flag_c))' '(c.p & flag_c)'
fault bit-overflow-from-bit-5 src/cpu/instructions.cpp '(m & (flag_n | flag_v))' '(m & flag_n) | ((m << 1) & flag_v)'
fault compare-carry src/cpu/instructions.cpp 'set_flag(c, flag_c, reg >= m);' 'set_flag(c, flag_c, reg > m);'
fault jsr-pushes-next src/cpu/instructions.cpp 'push_word(c, c.pc);' 'push_word(c, static_cast<u16>(c.pc + 1));'
fault interrupt-pushes-b src/cpu/cpu.cpp '(console.p & 0xCF) | flag_unused' 'console.p | flag_b | flag_unused'
fault jmp-indirect-crosses-page src/cpu/instructions.cpp '(pointer & 0xFF00) | ((pointer + 1) & 0xFF)' 'pointer + 1'
# The frame schedule.
fault nmi-one-dot-late src/core/scheduler.cpp 'cpu_run(console, 18);' 'cpu_run(console, 19);'
fault odd-skip-with-sprites src/core/scheduler.cpp '(ppu.mask & mask_background) && (ppu.frame_counter % 2 == 0)' '(ppu.mask & mask_rendering) && (ppu.frame_counter % 2 == 0)'
fault sprite0-hit-kept src/core/scheduler.cpp '~(status_vblank | status_sprite0_hit | status_overflow)' '~(status_vblank | status_overflow)'
fault dma-512-cycles src/core/console.h 'sprite_dma_ticks = 513 * ticks_per_cpu_cycle' 'sprite_dma_ticks = 512 * ticks_per_cpu_cycle'
# The PPU's registers.
fault increment-32-ignored src/ppu/ppu.cpp '(ppu.ctrl & ctrl_increment_32) ? 32 : 1' '1'
fault backdrop-not-shared src/ppu/ppu.cpp '} else if ((a & 0x0F) == 0) {' '} else if (a == 0x3F00) {'
fault read-buffer-skipped src/ppu/ppu.cpp 'u8 result = ppu.read_buffer;' 'u8 result = ppu.vram[ppu_map_address(ppu, v)];'
fault status-read-keeps-toggle src/ppu/ppu.cpp '      ppu.write_toggle = 0;
      ppu.status_read_flag = 1;' '      ppu.status_read_flag = 1;'
# The renderers.
fault coarse-y-29-no-flip src/ppu/render_background.cpp '      coarse_y = 0;
      v ^= 0x0800;' '      coarse_y = 0;'
fault tall-sprite-lower-tile src/ppu/render_sprites.cpp '      } else if (upper) {
        r = row;
      } else {
        tile += 1;' '      } else if (upper) {
        r = row;
      } else {'
fault no-overflow-flag src/ppu/render_sprites.cpp 'ppu.status |= status_overflow;' ''
fault behind-background-drawn src/ppu/render_sprites.cpp 'if (behind && f == 1) {' 'if (behind && f == 2) {'
fault left-clip-ignored src/ppu/render_background.cpp 'if (!(mask & mask_background_left)) {' 'if (false) {'
# The fast paths (the FastPaths tests compare them with the exact model).
fault acting-fetch-past-clip src/ppu/render_background.cpp 'x = std::max(x, 8);' 'x = std::max(x, 9);'
fault status-poll-race-unnoted src/cpu/idle_loop.h '|| ppu.write_toggle || !ppu.status_read_flag)' '|| ppu.write_toggle)'
fault run-dot-one-early src/core/catch_up.cpp '(ticks + static_cast<int>(ticks_per_dot) - 1)' '(ticks + static_cast<int>(ticks_per_dot))'
# The APU.
fault length-table-entry src/audio/apu.cpp '{10, 254, 20, 2,' '{10, 254, 20, 3,'
fault envelope-no-loop src/audio/apu_sequencer.cpp '} else if (reg0 & reg0_length_halt) {' '} else if (false) {'
fault sweep-negate-pulse-1 src/audio/apu_sequencer.cpp 'pulse_half_frame(apu.pulse[0], 0);' 'pulse_half_frame(apu.pulse[0], 1);'
fault frame-irq-in-five-step src/audio/apu_sequencer.cpp '{{0, 0, 0, 1, 0}, {0, 0, 0, 0, 0}}' '{{0, 0, 0, 1, 0}, {0, 0, 0, 0, 1}}'
fault noise-short-tap src/audio/noise.cpp '? 6 : 1;' '? 5 : 1;'
fault triangle-ultrasonic-kept src/audio/triangle.cpp 'timer <= 8 ||' 'timer < 2 ||'
# The boards.
fault mmc1-register-by-address src/cartridge/mapper_mmc1.cpp 'switch ((address >> 13) & 3) {' 'switch ((address >> 12) & 3) {'
fault mmc3-reload-latch-plus-one src/cartridge/mapper_mmc3.cpp 'irq_counter = static_cast<i32>(irq_latch);' 'irq_counter = static_cast<i32>(irq_latch) + 1;'
fault mmc2-latch-fe src/cartridge/mapper_mmc2.cpp '    case 0x0FE0:
      latch.latch0 = 1;' '    case 0x0FE0:
      latch.latch0 = 0;'
fault fit-bank-mask src/cartridge/mapper.cpp 'for (u32 mask = 0xFF;; mask >>= 1) {' 'for (u32 mask = 0x7F;; mask >>= 1) {'
fault nrom-16k-not-mirrored src/cartridge/mapper_none.cpp 'windows.prg_size < 32000 ? 0 : 0x4000' '0x4000'
fault battery-flag-bit src/cartridge/ines.cpp 'board->battery = (flags6 >> 1) & 1;' 'board->battery = (flags6 >> 2) & 1;'
# Save states, files, the recent list.
fault state-fine-x-range src/ppu/ppu.cpp 'v.u8_field(ppu.fine_x, 7);' 'v.u8_field(ppu.fine_x);'
fault state-volume-order src/audio/apu.cpp '  v.i32_field(pulse1.env.volume, 0, 15);
  v.i32_field(pulse2.env.volume, 0, 15);' '  v.i32_field(pulse2.env.volume, 0, 15);
  v.i32_field(pulse1.env.volume, 0, 15);'
fault state-bank-not-reduced src/core/state_io.h 'return field = reduce_bank_offset(get_u32(), base, size);' 'return field = get_u32() + 0 * base * size;'
fault file-not-renamed src/lifecycle/file_write.cpp 'if (ok && ::rename(temporary.c_str(), target.c_str()) != 0)' 'if (ok && ::link(temporary.c_str(), target.c_str()) != 0)'
fault recent-list-reorders src/lifecycle/session.cpp '    if (entry == path)
      return;' '    if (entry == path)
      break;'
fault recent-list-last-line-cut src/lifecycle/recent_list.cpp '      if (!line.empty() && line.back() == '"'"'\r'"'"')' '      if (!line.empty())'
fault saves-folder-not-first src/lifecycle/save_place.cpp 'if (regular_file(file.saves_folder) && of_kind(file.saves_folder, file.kind))
    return SavePlace::saves_folder;' 'if (false)
    return SavePlace::saves_folder;'
fault pad-shifts-in-ones src/core/controller.cpp 'console.pad_shift = static_cast<u8>(console.pad_shift >> 1);' 'console.pad_shift = static_cast<u8>((console.pad_shift >> 1) | 0x80);'

# The scratch copy and its build, made once and kept between runs.
mkdir -p "$scratch/tree"
git ls-files -z | rsync -a --from0 --files-from=- ./ "$scratch/tree/" 2>/dev/null ||
  git ls-files -z | xargs -0 cp --parents -t "$scratch/tree/"
# Files since removed from the checkout go from the copy too.
comm -23 <(cd "$scratch/tree" && find . -path ./build -prune -o -type f -printf '%P\n' | sort) \
  <(git ls-files | sort) | (cd "$scratch/tree" && xargs -r -d '\n' rm -f)
[ -d ../shared ] && ln -sfn "$(realpath ../shared)" "$scratch/shared"
build="$scratch/tree/build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$scratch/tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVEL_DESKTOP=OFF >/dev/null
fi
cmake --build "$build" -j "$jobs" >/dev/null

wanted=("$@")
for entry in "${faults[@]}"; do
  IFS=$'\t' read -r -d '' name file old new < <(printf '%s\0' "$entry") || true
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " =~ " $name " ]]; then continue; fi
  target="$scratch/tree/$file"
  cp "$target" "$target.orig"
  OLD="$old" NEW="$new" perl -0pi -e 's/\Q$ENV{OLD}\E/$ENV{NEW}/' "$target"
  if cmp -s "$target" "$target.orig"; then
    result="not applied"
  elif ! cmake --build "$build" -j "$jobs" >/dev/null 2>&1; then
    result="does not build"
  elif (cd "$build" && ctest -j "$jobs" --timeout 300 --stop-on-failure ${CORVEL_FAULTS_CTEST:-} >/dev/null 2>&1); then
    result="ESCAPED"
  else
    result="caught"
  fi
  mv "$target.orig" "$target"
  touch "$target"  # newer than the objects built from the fault
  printf '%-30s %s\n' "$name" "$result"
done
cmake --build "$build" -j "$jobs" >/dev/null
