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

double mean_of(const std::vector<i16>& s, Window w) {
  double sum = 0;
  for (size_t i = w.begin; i < w.end; i++)
    sum += s[i];
  return sum / static_cast<double>(w.end - w.begin);
}

// Pitch from the median time between rising crossings of the window's mean,
// placed between samples by linear interpolation. The median keeps a rare
// disturbed period from moving the result.
double pitch(const std::vector<i16>& s, Window w) {
  const double mean = mean_of(s, w);
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
  const double mean = mean_of(s, w);
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

// Pulse periods and triangle timers the program writes, as tones: a pulse
// steps through 16 timer periods per cycle, the triangle through 32.
double pulse_hz(int period) {
  return cpu_hz / (16.0 * (period + 1));
}
double triangle_hz(int timer) {
  return cpu_hz / (32.0 * (timer + 1));
}

TEST(SoundCartridge, NotesRestsAndNoise) {
  const std::vector<i16> samples = record_cartridge(450);
  ASSERT_GT(samples.size(), static_cast<size_t>(sample_at_count(note_start(10))));
  const std::pair<int, double> notes[] = {
      {0, pulse_hz(253)},    {1, pulse_hz(201)},    {2, pulse_hz(169)},
      {3, pulse_hz(379)},                                                // duties 2, 0, 1; pulse 2
      {5, triangle_hz(253)}, {6, triangle_hz(126)}, {9, pulse_hz(253)},  // 9: its length counter running
  };
  for (const auto& [note, hertz] : notes)
    EXPECT_NEAR(pitch(samples, note_window(note, 3, note == 9 ? 17 : 27)), hertz, hertz * 0.003) << note;
  // Every note sounds and every rest is silent (the slowest tone, the 220 Hz
  // triangle, moves about 300 per sample); note 9's length counter of 40
  // half-frames ends it after 20 counts.
  for (int note = 0; note < 9; note++) {
    EXPECT_GT(activity(samples, note_window(note, 3, 27)), 150) << "note " << note;
    EXPECT_LT(activity(samples, note_window(note, 33, 39)), 30) << "rest after note " << note;
  }
  EXPECT_GT(activity(samples, note_window(9, 2, 18)), 300);
  EXPECT_LT(activity(samples, note_window(9, 23, 38)), 30);
  // Short noise repeats every 93 (or 31) shifts of 64 cycles: a pitch near
  // 300.7 Hz (or 902 Hz). Long noise does not repeat within a note.
  const auto repeats = [&](Window w) {
    return std::max(periodicity(samples, w, 140, 153), periodicity(samples, w, 45, 53));
  };
  EXPECT_LT(repeats(note_window(7, 4, 26)), 0.3);
  EXPECT_GT(repeats(note_window(8, 4, 26)), 0.6);
}

}  // namespace
