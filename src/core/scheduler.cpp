// The frame scheduler. A frame begins with the line after the last visible
// line: the vertical blank, then the pre-render line, then 240 visible lines,
// 89342 dots in all (89341 after an odd-frame skip).
#include "core/scheduler.h"

#include "core/console.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"

namespace {

void run_vertical_blank(Console& console) {
  Ppu& ppu = *console.ppu;
  cpu_run(console, 340);

  // The single dot in which the flag rises is a race: a $2002 read during it
  // sees the flag clear and keeps it from being set at all this frame.
  ppu.status_read_flag = 0;
  ppu.nmi_window = 1;
  ppu.nmi_suppressed = 0;
  cpu_run(console, 1);  // dot 341
  if (!ppu.status_read_flag)
    ppu.status |= status_vblank;
  cpu_run(console, 1);
  cpu_run(console, 1);  // dot 343

  // The NMI-enable bit is taken here; enabling NMI later in the blank raises
  // none this frame, and the request comes 20 dots after the flag.
  bool nmi_enabled = ppu.ctrl & ctrl_nmi;
  ppu.nmi_window = 0;
  cpu_run(console, 18);  // dot 361
  if (nmi_enabled && !ppu.nmi_suppressed)
    console.nmi_pending = 1;

  cpu_run(console, 6800);  // dot 7161: 21 more lines
  ppu.status &= static_cast<u8>(~(status_vblank | status_sprite0_hit | status_overflow));
  ppu.sprite0_hit_done = 0;
}

// The pre-render line fetches patterns as a visible line does (which the
// cartridge may count) but draws nothing.
void run_prerender_line(Console& console) {
  Ppu& ppu = *console.ppu;
  render_prerender_line(console);  // dot 320
  cpu_run(console, 7);
  // With the background shown, every other frame is one dot shorter. Only the
  // background bit counts.
  bool skip = (ppu.mask & mask_background) && (ppu.frame_counter % 2 == 0);
  if (!skip)
    cpu_run(console, 1);
  ppu.frame_counter++;
  cpu_run(console, 13);
  if (ppu.mask & mask_rendering)
    ppu.vram_addr = ppu.temp_addr;
}

}  // namespace

void run_frames(Console& console, int extra_frames) {
  for (int frame = 0; frame <= extra_frames; frame++) {
    run_vertical_blank(console);
    run_prerender_line(console);
    for (int line = 0; line < 240; line++)
      render_background_line(console, line);
  }
}
