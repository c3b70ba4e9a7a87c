#include "audio/blip_buf.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct BlipDeleter {
  void operator()(blip_buf* m) const { blip_buf_destroy(m); }
};
using BlipPointer = std::unique_ptr<blip_buf, BlipDeleter>;

// A buffer as the APU makes it: 8820 samples, CPU clock to 44100 Hz.
BlipPointer make_apu_buffer() {
  BlipPointer m(blip_buf_create(8820));
  blip_buf_set_rates(m.get(), 1789773, 44100);
  blip_buf_clear(m.get());
  return m;
}

// One step at clock 0 after a clear, one chunk's frame, all samples read.
std::vector<i16> step_response(i32 delta) {
  BlipPointer m = make_apu_buffer();
  blip_buf_add_step(m.get(), 0, delta);
  blip_buf_end_frame(m.get(), 89489);
  std::vector<i16> out(2205);
  EXPECT_EQ(blip_buf_read(m.get(), out.data(), 2205, 0), 2205);
  return out;
}

TEST(BlipBuf, ApuRatesGiveTheExactFactor) {
  BlipPointer m = make_apu_buffer();
  EXPECT_EQ(m->factor, 110968677908897u);
  EXPECT_EQ(m->time_offset, 110968677908897u / 2);
}

TEST(BlipBuf, NewBufferStartsWithTheInitialFactor) {
  BlipPointer m(blip_buf_create(16));
  EXPECT_EQ(m->factor, u64{1} << 32);
  EXPECT_EQ(blip_buf_avail(m.get()), 0);
}

TEST(BlipBuf, OneChunkNeeds89489ClocksAndYieldsExactly2205Samples) {
  BlipPointer m = make_apu_buffer();
  EXPECT_EQ(blip_buf_clocks_needed(m.get(), 2205), 89489);
  blip_buf_end_frame(m.get(), 89488);
  EXPECT_EQ(blip_buf_avail(m.get()), 2204);

  BlipPointer n = make_apu_buffer();
  blip_buf_end_frame(n.get(), 89489);
  EXPECT_EQ(blip_buf_avail(n.get()), 2205);
}

TEST(BlipBuf, NoClocksAreNeededForZeroSamplesAfterAClear) {
  BlipPointer m = make_apu_buffer();
  EXPECT_EQ(blip_buf_clocks_needed(m.get(), 0), 0);
  blip_buf_end_frame(m.get(), 1000);
  EXPECT_EQ(blip_buf_clocks_needed(m.get(), 0), 0);
}

TEST(BlipBuf, FrameRemainderCarriesIntoTheNextFrame) {
  // Many short frames must add up to the same samples as one long frame.
  BlipPointer m = make_apu_buffer();
  for (int i = 0; i < 89489; i += 7) {
    blip_buf_end_frame(m.get(), 7);
  }
  BlipPointer n = make_apu_buffer();
  blip_buf_end_frame(n.get(), (89489 / 7 + 1) * 7);
  EXPECT_EQ(blip_buf_avail(m.get()), blip_buf_avail(n.get()));
  EXPECT_EQ(m->time_offset, n->time_offset);
}

TEST(BlipBuf, StepResponseRisesAfterEightSamplesAndDecays) {
  std::vector<i16> out = step_response(1000);
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(out[i], 0) << "sample " << i;
  }
  const i16 expected[] = {987, 998, 996, 994, 992, 990};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(out[8 + i], expected[i]) << "sample " << 8 + i;
  }
  // From there the high-pass takes about 1/512 of the level per sample.
  for (int i = 10; i < 2204; i++) {
    EXPECT_LE(out[i + 1], out[i]) << "sample " << i;
    EXPECT_GE(out[i + 1], 0);
  }
  EXPECT_NEAR(out[9 + 512], 998 * 0.3679, 6.0);  // one time constant later
}

TEST(BlipBuf, SamplesClampAtTheSixteenBitLimits) {
  struct Case {
    i32 delta;
    i16 limit;
  };
  for (Case c : {Case{40000, 32767}, Case{-40000, -32768}}) {
    std::vector<i16> out = step_response(c.delta);
    EXPECT_EQ(out[9], c.limit) << c.delta;
    EXPECT_EQ(out[10], c.limit) << c.delta;
  }
}

TEST(BlipBuf, ClampedSamplesLeakOnlyTheClampedLevel) {
  // The integral keeps the unclamped level and loses only (clamped << 6) per
  // sample, so a level far above the limit stays clamped for a long time.
  std::vector<i16> out = step_response(60000);
  int clamped = 0;
  while (clamped < 2205 && out[9 + clamped] == 32767) {
    clamped++;
  }
  // While clamped it loses 32767 / 512 = 64 per sample: (60000 - 32767) / 64
  // = 425 samples. A leak of the unclamped level would take only about
  // ln(60000 / 32767) x 512 = 310.
  EXPECT_GE(clamped, 420);
  EXPECT_LE(clamped, 430);
}

TEST(BlipBuf, ReadingMoreThanAvailableReturnsWhatThereIs) {
  BlipPointer m = make_apu_buffer();
  blip_buf_end_frame(m.get(), 89489);
  std::vector<i16> out(3000, 77);
  EXPECT_EQ(blip_buf_read(m.get(), out.data(), 3000, 0), 2205);
  EXPECT_EQ(blip_buf_avail(m.get()), 0);
  EXPECT_EQ(out[2205], 77);  // nothing written past what was read
}

TEST(BlipBuf, PartialReadsContinueWhereTheyStopped) {
  std::vector<i16> whole = step_response(1000);
  BlipPointer m = make_apu_buffer();
  blip_buf_add_step(m.get(), 0, 1000);
  blip_buf_end_frame(m.get(), 89489);
  std::vector<i16> pieces(2205);
  int done = 0;
  for (int piece : {5, 1, 300, 1899}) {
    EXPECT_EQ(blip_buf_read(m.get(), pieces.data() + done, piece, 0), piece);
    done += piece;
  }
  EXPECT_EQ(pieces, whole);
}

TEST(BlipBuf, StepsPlacedBeyondTheFrameSurviveARead) {
  // A step in the next frame's first samples sits in the extra slots and must
  // move to the front with them.
  BlipPointer m = make_apu_buffer();
  blip_buf_end_frame(m.get(), 89489);
  blip_buf_add_step(m.get(), 0, 1000);  // right after the frame end
  std::vector<i16> out(2205);
  blip_buf_read(m.get(), out.data(), 2205, 0);
  EXPECT_EQ(out[2204], 0);
  blip_buf_end_frame(m.get(), 89489);
  blip_buf_read(m.get(), out.data(), 2205, 0);
  EXPECT_EQ(out[7], 0);
  EXPECT_GT(out[8], 900);
}

TEST(BlipBuf, StereoReadWritesEveryOtherElement) {
  BlipPointer m = make_apu_buffer();
  blip_buf_add_step(m.get(), 0, 1000);
  blip_buf_end_frame(m.get(), 89489);
  std::vector<i16> out(40, -5);
  EXPECT_EQ(blip_buf_read(m.get(), out.data(), 20, 1), 20);
  EXPECT_EQ(out[14], 0);
  EXPECT_EQ(out[16], 987);
  EXPECT_EQ(out[18], 998);
  for (int i = 1; i < 40; i += 2) {
    EXPECT_EQ(out[i], -5);
  }
}

TEST(BlipBuf, ZeroSizeBufferHoldsNothing) {
  BlipPointer m(blip_buf_create(0));
  ASSERT_NE(m, nullptr);
  blip_buf_set_rates(m.get(), 1789773, 44100);
  blip_buf_clear(m.get());
  EXPECT_EQ(blip_buf_clocks_needed(m.get(), 0), 0);
  blip_buf_end_frame(m.get(), 10);
  i16 out[4] = {};
  EXPECT_EQ(blip_buf_read(m.get(), out, 4, 0), 0);
  EXPECT_EQ(blip_buf_avail(m.get()), 0);
}

TEST(BlipBuf, DestroyAcceptsNull) {
  blip_buf_destroy(nullptr);
}

TEST(BlipBufDeathTest, FrameLongerThanTheBufferStopsWithTheCheckText) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        BlipPointer m(blip_buf_create(100));
        blip_buf_set_rates(m.get(), 1789773, 44100);
        blip_buf_end_frame(m.get(), 5000);
      },
      "blip_buf.*Assertion .m->avail <= m->size. failed");
}

TEST(BlipBufDeathTest, StepPastTheEndStopsWithTheCheckText) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        BlipPointer m(blip_buf_create(100));
        blip_buf_set_rates(m.get(), 1789773, 44100);
        blip_buf_add_step(m.get(), 5000, 1);
      },
      "blip_buf.*out <= &SAMPLES\\( m \\) \\[m->size \\+ end_frame_extra\\]");
}

TEST(BlipBufDeathTest, NegativeSizeIsRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(blip_buf_create(-1), "Assertion .size >= 0. failed");
}

}  // namespace
