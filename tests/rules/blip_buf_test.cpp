// The band-limited buffer: one chunk's clocks and samples, the shape of a
// step (silent for eight samples, then the level, which the high-pass lets
// down by about 1/512 per sample), clamping, and reads in pieces.
#include <memory>
#include <vector>

#include "audio/blip_buf.h"
#include "support/fixtures.h"

namespace {

struct BlipDeleter {
  void operator()(blip_buf* m) const { blip_buf_destroy(m); }
};
using BlipPointer = std::unique_ptr<blip_buf, BlipDeleter>;

// A buffer as the APU makes it, with one step at clock 0 and a chunk's frame.
BlipPointer stepped_buffer(i32 delta) {
  BlipPointer m(blip_buf_create(8820));
  blip_buf_set_rates(m.get(), 1789773, 44100);
  blip_buf_clear(m.get());
  EXPECT_EQ(blip_buf_clocks_needed(m.get(), 2205), 89489);
  blip_buf_add_step(m.get(), 0, delta);
  blip_buf_end_frame(m.get(), 89489);
  EXPECT_EQ(blip_buf_avail(m.get()), 2205);
  return m;
}

std::vector<i16> step_response(i32 delta) {
  std::vector<i16> out(2205);
  EXPECT_EQ(blip_buf_read(stepped_buffer(delta).get(), out.data(), 2205, 0), 2205);
  return out;
}

TEST(BlipBuf, StepResponse) {
  const std::vector<i16> out = step_response(1000);
  EXPECT_EQ(std::vector<i16>(out.begin(), out.begin() + 14),
            (std::vector<i16>{0, 0, 0, 0, 0, 0, 0, 0, 987, 998, 996, 994, 992, 990}));
  EXPECT_NEAR(out[9 + 512], 998 * 0.3679, 6.0);  // one time constant later
  // Clamped at the 16-bit limits, and while clamped the level leaks only by
  // the clamped amount: (60000 - 32767) / 64 samples.
  EXPECT_EQ(step_response(-40000)[10], -32768);
  const std::vector<i16> high = step_response(60000);
  const auto clamped =
      std::find_if(high.begin() + 9, high.end(), [](i16 s) { return s != 32767; }) - high.begin();
  EXPECT_NEAR(clamped - 9, 425, 5);
}

TEST(BlipBuf, ReadsInPiecesContinueWhereTheyStopped) {
  const std::vector<i16> whole = step_response(1000);
  BlipPointer m = stepped_buffer(1000);
  std::vector<i16> pieces(2300, 77);
  int done = 0;
  for (int piece : {5, 1, 300, 1899}) {
    EXPECT_EQ(blip_buf_read(m.get(), pieces.data() + done, piece, 0), piece);
    done += piece;
  }
  EXPECT_EQ(blip_buf_read(m.get(), pieces.data() + done, 95, 0), 0);
  EXPECT_EQ(std::vector<i16>(pieces.begin(), pieces.begin() + 2205), whole);
  EXPECT_EQ(pieces[2205], 77);
}

}  // namespace
