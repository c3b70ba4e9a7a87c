// The ring between the APU and the audio device: samples become their high
// byte plus 128; a push drops the unplayed rest of the chunk before it; the
// callback plays silence when nothing is new, no console plays, or the ring
// was emptied because the played console changed.
#include <memory>
#include <vector>

#include "audio/audio_ring.h"
#include "support/fixtures.h"

namespace {

std::vector<u8> play(AudioRing& ring, int count) {
  std::vector<u8> out(static_cast<std::size_t>(count), 7);
  audio_callback(ring, out.data(), count);
  return out;
}

TEST(AudioRing, PlaysTheNewestChunkOnce) {
  auto ring = std::make_unique<AudioRing>();
  ring->ring_write = ring->ring_read = audio_ring_size - 2;  // the chunk wraps round the end
  const std::vector<i16> first = {256, -257, 32767, -32768};
  audio_push(ring.get(), first.data(), 4, 44100);
  EXPECT_EQ(play(*ring, 2), (std::vector<u8>{128, 128})) << "no console playing";
  ring->playing = true;
  EXPECT_EQ(play(*ring, 5), (std::vector<u8>{129, 126, 255, 0, 128}));
  const std::vector<i16> second(3, 5 * 256);
  audio_push(ring.get(), first.data(), 4, 44100);
  play(*ring, 1);
  audio_push(ring.get(), second.data(), 3, 44100);
  EXPECT_EQ(play(*ring, 4), (std::vector<u8>{133, 133, 133, 128})) << "the rest of the first is dropped";
  audio_push(ring.get(), second.data(), 3, 44100);
  audio_ring_clear(*ring);
  EXPECT_EQ(play(*ring, 1), (std::vector<u8>{128}));
}

}  // namespace
