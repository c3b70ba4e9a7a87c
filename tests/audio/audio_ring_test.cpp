#include "audio/audio_ring.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

std::unique_ptr<AudioRing> playing_ring() {
  auto ring = std::make_unique<AudioRing>();
  ring->playing = true;
  return ring;
}

TEST(AudioRing, SamplesBecomeTheirHighByteOffsetBy128) {
  struct Case {
    i16 sample;
    u8 byte;
  };
  const Case cases[] = {{0, 128},    {256, 129},   {255, 128},  {-1, 127},   {-256, 127},
                        {-257, 126}, {32767, 255}, {-32768, 0}, {12345, 176}};
  for (const Case& c : cases) {
    EXPECT_EQ(audio_sample_byte(c.sample), c.byte) << c.sample;
    auto ring = playing_ring();
    audio_push(ring.get(), &c.sample, 1, 44100);
    u8 out = 0;
    audio_callback(*ring, &out, 1);
    EXPECT_EQ(out, c.byte) << c.sample;
  }
}

TEST(AudioRing, PushWrapsAroundTheEndOfTheRing) {
  auto ring = playing_ring();
  ring->ring_write = 43000;
  ring->ring_read = 43000;
  std::vector<i16> chunk(2205);
  for (int i = 0; i < 2205; i++) {
    chunk[i] = static_cast<i16>((i % 200) * 256 - 25600);
  }
  audio_push(ring.get(), chunk.data(), 2205, 44100);
  EXPECT_EQ(ring->ring_write.load(), 1105);
  EXPECT_EQ(ring->ring_read.load(), 43000);
  EXPECT_EQ(ring->audio_ring[43000], audio_sample_byte(chunk[0]));
  EXPECT_EQ(ring->audio_ring[44099], audio_sample_byte(chunk[1099]));
  EXPECT_EQ(ring->audio_ring[0], audio_sample_byte(chunk[1100]));
  EXPECT_EQ(ring->audio_ring[1104], audio_sample_byte(chunk[2204]));

  // The callback plays them in the same order, wrapping from 44099 to 0, then
  // silence once it has caught up.
  std::vector<u8> out(2300);
  audio_callback(*ring, out.data(), 2300);
  for (int i = 0; i < 2205; i++) {
    ASSERT_EQ(out[i], audio_sample_byte(chunk[i])) << i;
  }
  for (int i = 2205; i < 2300; i++) {
    ASSERT_EQ(out[i], 128) << i;
  }
  EXPECT_EQ(ring->ring_read.load(), 1105);
}

TEST(AudioRing, PushDropsTheUnplayedRestOfThePreviousChunk) {
  auto ring = playing_ring();
  std::vector<i16> first(100, 10 * 256);
  std::vector<i16> second(100, 20 * 256);
  audio_push(ring.get(), first.data(), 100, 44100);
  std::vector<u8> out(50);
  audio_callback(*ring, out.data(), 50);
  EXPECT_EQ(out[49], 138);
  audio_push(ring.get(), second.data(), 100, 44100);
  audio_callback(*ring, out.data(), 50);
  EXPECT_EQ(out[0], 148);  // the next callback starts at the new chunk
  EXPECT_EQ(ring->ring_read.load(), 150);
}

TEST(AudioRing, NoConsolePlayingMeansSilenceAndTheRingIsLeftAlone) {
  auto ring = std::make_unique<AudioRing>();
  std::vector<i16> chunk(300, 5000);
  audio_push(ring.get(), chunk.data(), 300, 44100);
  std::vector<u8> out(400, 7);
  audio_callback(*ring, out.data(), 400);
  for (u8 byte : out) {
    ASSERT_EQ(byte, 128);
  }
  EXPECT_EQ(ring->ring_read.load(), 0);
  // Once a console plays, the bytes are there, until the played console
  // changes and they are dropped.
  ring->playing = true;
  audio_callback(*ring, out.data(), 1);
  EXPECT_EQ(out[0], audio_sample_byte(5000));
  audio_ring_clear(*ring);
  audio_callback(*ring, out.data(), 1);
  EXPECT_EQ(out[0], 128);
}

TEST(AudioRing, EmptyRingPlaysSilence) {
  auto ring = playing_ring();
  std::vector<u8> out(10, 0);
  audio_callback(*ring, out.data(), 10);
  EXPECT_EQ(out, std::vector<u8>(10, 128));
}

TEST(AudioRing, NonPositiveLengthWritesNothing) {
  auto ring = playing_ring();
  i16 sample = 1000;
  audio_push(ring.get(), &sample, 1, 44100);
  u8 out[2] = {1, 2};
  audio_callback(*ring, out, 0);
  audio_callback(*ring, out, -5);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(ring->ring_read.load(), 0);
}

TEST(AudioRing, ProcessRingIsOneSharedInstance) {
  EXPECT_EQ(&process_audio_ring(), &process_audio_ring());
}

TEST(AudioRing, CallbackOnAnotherThreadOnlyEverPlaysPushedBytesOrSilence) {
  // Chunks of one constant byte each: whatever the interleaving, every byte
  // played is silence or one of the pushed values, and the positions stay in
  // range. (Run under the sanitizers this also checks the ring's accesses.)
  auto ring = playing_ring();
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread device([&] {
    std::vector<u8> out(512);
    while (!done.load()) {
      audio_callback(*ring, out.data(), 512);
      for (u8 byte : out) {
        if (byte != 128 && (byte < 130 || byte > 139)) {
          bad++;
        }
      }
      const int read = ring->ring_read.load();
      if (read < 0 || read >= audio_ring_size) {
        bad++;
      }
    }
  });
  std::vector<i16> chunk(2205);
  for (int round = 0; round < 400; round++) {
    std::fill(chunk.begin(), chunk.end(), static_cast<i16>((2 + round % 10) * 256));
    audio_push(ring.get(), chunk.data(), 2205, 44100);
  }
  done = true;
  device.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
