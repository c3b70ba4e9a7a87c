// The sound_notes cartridge through the headless tool: its WAV, checked note
// by note against the registers the program wrote.
#include <algorithm>
#include <cmath>

#include "support/fixtures.h"

namespace {

constexpr double cpu_hz = 1789773.0;
constexpr double sample_hz = 44100.0;

// The program counts frame interrupts; count c is reached at CPU cycle
// 14890 + (c - 1) x 29780. Note n plays from count 2 + 40 n for 30 counts.
double sample_at_count(double count) {
  return (14890.0 + (count - 1) * 29780.0) * sample_hz / cpu_hz;
}
double note_start(int note) {
  return 2 + 40.0 * note;
}

std::vector<i16> record_cartridge(long frames) {
  ScratchDir dir;
  const ToolRun run = run_headless("--frames " + std::to_string(frames) + " --audio '" + (dir / "notes.wav") +
                                   "' '" + cartridge("sound_notes") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<u8> bytes = read_file(dir / "notes.wav");
  std::vector<i16> samples;
  if (bytes.size() < 44 || bytes[24] != 0x44 || bytes[25] != 0xAC)  // 44100 Hz
    return samples;
  for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
    samples.push_back(static_cast<i16>(bytes[i] | (bytes[i + 1] << 8)));
  return samples;
}

struct Window {
  size_t begin;
  size_t end;
};

// The part of note n between counts from and to after its start.
Window note_window(int note, double from, double to) {
  return {static_cast<size_t>(sample_at_count(note_start(note) + from)),
          static_cast<size_t>(sample_at_count(note_start(note) + to))};
}

// Pitch from the median time between rising crossings of the window's mean,
// placed between samples by linear interpolation. The median keeps a rare
// disturbed period from moving the result.
double pitch(const std::vector<i16>& s, Window w) {
  double mean = 0;
  for (size_t i = w.begin; i < w.end; i++)
    mean += s[i];
  mean /= static_cast<double>(w.end - w.begin);
  std::vector<double> crossings;
  for (size_t i = w.begin + 1; i < w.end; i++) {
    const double a = s[i - 1] - mean;
    const double b = s[i] - mean;
    if (a < 0 && b >= 0)
      crossings.push_back(static_cast<double>(i - 1) + a / (a - b));
  }
  if (crossings.size() < 3)
    return 0;
  std::vector<double> periods;
  for (size_t i = 1; i < crossings.size(); i++)
    periods.push_back(crossings[i] - crossings[i - 1]);
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return sample_hz / periods[periods.size() / 2];
}

// How much the signal moves from sample to sample (RMS of the differences):
// large for any tone, near zero for silence or a slowly settling level.
double activity(const std::vector<i16>& s, Window w) {
  double sum = 0;
  for (size_t i = w.begin + 1; i < w.end; i++) {
    const double d = static_cast<double>(s[i]) - s[i - 1];
    sum += d * d;
  }
  return std::sqrt(sum / static_cast<double>(w.end - w.begin - 1));
}

// Highest normalised autocorrelation for lags in [low, high].
double periodicity(const std::vector<i16>& s, Window w, int low, int high) {
  double mean = 0;
  for (size_t i = w.begin; i < w.end; i++)
    mean += s[i];
  mean /= static_cast<double>(w.end - w.begin);
  double best = -1;
  for (int lag = low; lag <= high; lag++) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = w.begin; i + lag < w.end; i++) {
      const double x = s[i] - mean;
      const double y = s[i + lag] - mean;
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    best = std::max(best, xy / std::sqrt(xx * yy));
  }
  return best;
}

double pulse_hz(int period) {
  return cpu_hz / (16.0 * (period + 1));
}
double triangle_hz(int timer) {
  return cpu_hz / (32.0 * (timer + 1));
}

class SoundCartridge : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { recording_ = new std::vector<i16>(record_cartridge(450)); }
  static void TearDownTestSuite() {
    delete recording_;
    recording_ = nullptr;
  }
  void SetUp() override {
    ASSERT_GT(recording_->size(), static_cast<size_t>(sample_at_count(note_start(10))));
  }
  const std::vector<i16>& samples() const { return *recording_; }
  static std::vector<i16>* recording_;
};

std::vector<i16>* SoundCartridge::recording_ = nullptr;

TEST_F(SoundCartridge, NotesSoundAtTheirRegisterPitch) {
  struct Case {
    const char* name;
    int note;
    double hertz;
  };
  const Case cases[] = {
      {"pulse 1, duty 2, period 253", 0, pulse_hz(253)},
      {"pulse 1, duty 0, period 201", 1, pulse_hz(201)},
      {"pulse 1, duty 1, period 169", 2, pulse_hz(169)},
      {"pulse 2, duty 2, period 379", 3, pulse_hz(379)},
      {"triangle, timer 253", 5, triangle_hz(253)},
      {"triangle, timer 126", 6, triangle_hz(126)},
      {"pulse 1 with its length counter running", 9, pulse_hz(253)},
  };
  for (const Case& c : cases) {
    const Window w = note_window(c.note, 3, c.note == 9 ? 17 : 27);
    EXPECT_NEAR(pitch(samples(), w), c.hertz, c.hertz * 0.003) << c.name;
  }
}

TEST_F(SoundCartridge, NoiseModesDifferInPeriodicity) {
  // Short mode repeats every 93 (or 31) shifts of 64 cycles: a pitch near
  // 300.7 Hz (or 902 Hz). Long mode does not repeat within a note.
  const Window long_mode = note_window(7, 4, 26);
  const Window short_mode = note_window(8, 4, 26);
  EXPECT_GT(activity(samples(), long_mode), 1000);
  EXPECT_GT(activity(samples(), short_mode), 1000);
  const double long_repeat =
      std::max(periodicity(samples(), long_mode, 140, 153), periodicity(samples(), long_mode, 45, 53));
  const double short_repeat =
      std::max(periodicity(samples(), short_mode, 140, 153), periodicity(samples(), short_mode, 45, 53));
  EXPECT_LT(long_repeat, 0.3);
  EXPECT_GT(short_repeat, 0.6);
}

// Every note sounds and every rest is silent; note 9's length counter of 40
// half-frames ends it after 20 counts.
TEST_F(SoundCartridge, NotesAndRests) {
  EXPECT_GT(activity(samples(), note_window(9, 2, 18)), 300);
  EXPECT_LT(activity(samples(), note_window(9, 23, 38)), 30);
  for (int note = 0; note < 9; note++) {
    // The slowest tone, the 220 Hz triangle, moves about 300 per sample.
    EXPECT_GT(activity(samples(), note_window(note, 3, 27)), 150) << "note " << note;
    EXPECT_LT(activity(samples(), note_window(note, 33, 39)), 30) << "rest after note " << note;
  }
}

}  // namespace
