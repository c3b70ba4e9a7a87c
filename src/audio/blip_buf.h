// A band-limited sample buffer: amplitude steps placed at input-clock times
// become 16-bit output samples at a lower, fixed rate.
#pragma once

#include "core/types.h"

struct blip_buf;

blip_buf* blip_buf_create(i32 size);
void blip_buf_destroy(blip_buf* m);
void blip_buf_set_rates(blip_buf* m, double clock_rate, double sample_rate);
void blip_buf_clear(blip_buf* m);
i32 blip_buf_clocks_needed(const blip_buf* m, i32 samples);
void blip_buf_end_frame(blip_buf* m, u32 t);
i32 blip_buf_avail(const blip_buf* m);
i32 blip_buf_read(blip_buf* m, i16* out, i32 count, i32 stereo);
void blip_buf_add_step(blip_buf* m, u32 time, i32 delta);
