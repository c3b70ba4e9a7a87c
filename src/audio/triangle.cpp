// The triangle channel: a 32-step ramp up and down, with no volume control,
// gated by its length counter and its linear counter.
#include "audio/apu_internal.h"

namespace {

constexpr int triangle_unit = 1024;

}  // namespace

bool triangle_run(Triangle& triangle, blip_buf* blip, float time, bool enabled) {
  const int timer = (triangle.reg[2] & 7) * 256 + triangle.reg[1];
  // A silent triangle stops where it is and holds its level rather than
  // dropping to zero: when disabled, when either counter has run out, and
  // for timer values of 8 or less, which would give an ultrasonic tone.
  if (!enabled || timer <= 8 || triangle.length <= 0 || triangle.linear <= 0) {
    triangle.due = static_cast<i32>(time);
    return true;
  }
  while (triangle.due < time) {
    // 32 steps: 0 up to 15, then 15 down to 0.
    triangle.step = (triangle.step + 1) & 31;
    const int value = triangle.step < 16 ? triangle.step : 31 - triangle.step;
    const int amplitude = value * triangle_unit;
    apu_add_change(blip, triangle.due, amplitude - triangle.level);
    triangle.level = amplitude;
    triangle.due += timer + 1;
  }
  return false;
}

// The length counter counts down at half-frames, except while a reload of
// the linear counter is pending.
void triangle_half_frame(Triangle& triangle) {
  if (triangle.reload == 0 && triangle.length > 0)
    triangle.length--;
}

// The linear counter: reloaded from $4008 after a write to $400B, otherwise
// counting down to 0. The control bit keeps the reload request set, holding
// the counter at its reload value.
void triangle_quarter_frame(Triangle& triangle) {
  if (triangle.reload)
    triangle.linear = triangle.reg[0] & 0x7F;
  else if (triangle.linear > 0)
    triangle.linear--;
  triangle.reload = triangle.reg[0] & triangle_control;
}
