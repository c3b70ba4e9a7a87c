// The demo cartridge played headless with scripted input: it runs, the
// picture moves, it makes sound, and its high score survives a restart
// through the battery file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path demo_image = fs::path(CORVEL_CARTRIDGE_DIR) / "demo.nes";

std::vector<unsigned char> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The record the cartridge keeps in battery RAM ($6000-$7FFF, the .sav file):
// "CORVEL" at 0, version 1 at 6, the high score as six decimal digits at $10,
// a checksum at $16 ($A5 plus the digits and the two counter bytes) and the
// number of games started, little-endian, at $18.
struct SaveRecord {
  std::string signature;
  int version = 0;
  std::vector<int> digits;
  int checksum = 0;
  int plays = 0;
  int computed_checksum = 0;

  static SaveRecord from(const std::vector<unsigned char>& sav) {
    SaveRecord record;
    if (sav.size() < 0x1A)
      return record;
    record.signature.assign(sav.begin(), sav.begin() + 6);
    record.version = sav[6];
    int sum = 0xA5;
    for (int i = 0; i < 6; i++) {
      record.digits.push_back(sav[0x10 + i]);
      sum += sav[0x10 + i];
    }
    record.checksum = sav[0x16];
    record.plays = sav[0x18] | (sav[0x19] << 8);
    record.computed_checksum = (sum + sav[0x18] + sav[0x19]) & 0xFF;
    return record;
  }

  bool valid() const {
    return signature == "CORVEL" && version == 1 && checksum == computed_checksum &&
           std::all_of(digits.begin(), digits.end(), [](int d) { return d >= 0 && d <= 9; });
  }

  long score() const {
    long value = 0;
    for (int d : digits)
      value = value * 10 + d;
    return value;
  }
};

// A battery file holding a valid record with the given score and play count.
std::vector<unsigned char> make_sav(long score, int plays) {
  std::vector<unsigned char> sav(8192, 0);
  const char* signature = "CORVEL";
  std::copy(signature, signature + 6, sav.begin());
  sav[6] = 1;
  int sum = 0xA5;
  for (int i = 5; i >= 0; i--) {
    sav[0x10 + i] = static_cast<unsigned char>(score % 10);
    sum += score % 10;
    score /= 10;
  }
  sav[0x18] = static_cast<unsigned char>(plays & 0xFF);
  sav[0x19] = static_cast<unsigned char>(plays >> 8);
  sav[0x16] = static_cast<unsigned char>((sum + sav[0x18] + sav[0x19]) & 0xFF);
  return sav;
}

// Start pressed on the title screen, then nothing: the raven hovers where
// it starts and the bats come for it.
std::string idle_game_script() {
  return "0 -\n130 S\n136 -\n";
}

// Start, then the raven sweeps the sky up and down throwing a feather every
// 16 frames and dashing now and then.
std::string active_game_script(int last_frame) {
  std::ostringstream script;
  script << "# start a game, then sweep the sky\n0 -\n130 S\n136 -\n";
  const char* moves[] = {"U", "U", "D", "D", "D", "D", "U", "U"};
  int step = 0;
  for (int frame = 150; frame < last_frame; frame += 8, step++) {
    std::string buttons = moves[(step / 4) % 8];
    if (step % 40 == 20)
      buttons += "B";
    if (step % 2 == 0)
      buttons += "A";
    script << frame << " " << buttons << "\n";
  }
  return script.str();
}

class DemoCartridge : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corvel_demo_" + std::to_string(getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // A copy, so that the battery file lands in the scratch folder.
    fs::copy_file(demo_image, rom());
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path rom() const { return dir_ / "demo.nes"; }
  fs::path sav() const { return dir_ / "demo.sav"; }

  // Runs the headless tool; returns its exit status (-1 when it did not exit).
  int run(long frames, const std::string& script, const std::string& extra = "") {
    std::string command = std::string("'") + CORVEL_HEADLESS + "' --frames " + std::to_string(frames);
    if (!script.empty()) {
      const fs::path script_path = dir_ / "input.txt";
      std::ofstream(script_path) << script;
      command += " --input '" + script_path.string() + "'";
    }
    command += " " + extra + " '" + rom().string() + "' 2>'" + (dir_ / "stderr.txt").string() + "'";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  SaveRecord saved() const { return SaveRecord::from(read_bytes(sav())); }

  fs::path dir_;
};

TEST_F(DemoCartridge, HeaderDeclaresAnMmc1BoardWithBatteryAndBankedRoms) {
  const std::vector<unsigned char> image = read_bytes(demo_image);
  ASSERT_GE(image.size(), 16u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "NES\x1a");
  EXPECT_EQ(image[4], 8) << "PRG-ROM in 16 KB banks";
  EXPECT_EQ(image[5], 2) << "CHR-ROM in 8 KB banks";
  EXPECT_EQ((image[6] >> 4) | (image[7] & 0xF0), 1) << "mapper number";
  EXPECT_TRUE(image[6] & 2) << "battery flag";
  EXPECT_EQ(image.size(), 16u + 8 * 16384 + 2 * 8192);
  // The reset vector points into the fixed last bank.
  const size_t vectors = 16 + 8 * 16384 - 6;
  const int reset = image[vectors + 2] | (image[vectors + 3] << 8);
  EXPECT_GE(reset, 0xC000);
}

TEST_F(DemoCartridge, AFreshCartridgeWritesAnEmptyRecordWithItsSignature) {
  ASSERT_EQ(run(60, ""), 0);
  const std::vector<unsigned char> bytes = read_bytes(sav());
  ASSERT_EQ(bytes.size(), 8192u);
  const SaveRecord record = SaveRecord::from(bytes);
  EXPECT_TRUE(record.valid());
  EXPECT_EQ(record.score(), 0);
  EXPECT_EQ(record.plays, 0);
}

TEST_F(DemoCartridge, HighScoreSurvivesARestartThroughTheBatteryFile) {
  // First run: a lively game that scores well.
  ASSERT_EQ(run(1400, active_game_script(1400)), 0);
  const SaveRecord first = saved();
  ASSERT_TRUE(first.valid());
  EXPECT_EQ(first.plays, 1);
  EXPECT_GT(first.score(), 100);

  // Second run: the record is read back at power-up ("Loaded SRAM") and a
  // short idle game, which scores less, leaves it as it was.
  ASSERT_EQ(run(450, idle_game_script()), 0);
  const SaveRecord second = saved();
  ASSERT_TRUE(second.valid());
  EXPECT_EQ(second.plays, 2) << "the counter went on from the saved value";
  EXPECT_EQ(second.score(), first.score()) << "a lower score does not replace the record";

  std::ifstream messages(dir_ / "stderr.txt");
  std::string text((std::istreambuf_iterator<char>(messages)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Loaded SRAM"), std::string::npos);
}

TEST_F(DemoCartridge, ABetterScoreReplacesTheSavedRecord) {
  write_bytes(sav(), make_sav(3, 41));
  ASSERT_EQ(run(450, idle_game_script()), 0);
  const SaveRecord record = saved();
  ASSERT_TRUE(record.valid());
  EXPECT_GT(record.score(), 3);
  EXPECT_EQ(record.plays, 42);
}

TEST_F(DemoCartridge, TheTitleScreenLeavesAValidRecordUntouched) {
  const std::vector<unsigned char> original = make_sav(12345, 7);
  write_bytes(sav(), original);
  ASSERT_EQ(run(200, ""), 0);
  EXPECT_EQ(read_bytes(sav()), original);
}

// Anything but a valid record is a new cartridge: the game writes its
// signature and starts from an empty record instead of showing garbage.
TEST_F(DemoCartridge, DamagedBatteryFilesStartANewRecord) {
  struct Case {
    const char* name;
    std::vector<unsigned char> sav;
  };
  std::vector<Case> cases;
  cases.push_back({"all zeros", std::vector<unsigned char>(8192, 0)});
  cases.push_back({"all ones", std::vector<unsigned char>(8192, 0xFF)});
  cases.push_back({"short file", {'C', 'O', 'R'}});
  cases.push_back({"empty file", {}});
  std::vector<unsigned char> bad = make_sav(500, 3);
  bad[0] = 'X';
  cases.push_back({"wrong signature", bad});
  bad = make_sav(500, 3);
  bad[6] = 2;
  cases.push_back({"unknown version", bad});
  bad = make_sav(500, 3);
  bad[0x16] ^= 1;
  cases.push_back({"wrong checksum", bad});
  bad = make_sav(500, 3);
  bad[0x10] = 10;  // not a digit; checksum fixed to match
  bad[0x16] = static_cast<unsigned char>(bad[0x16] + 10);
  cases.push_back({"digit out of range", bad});
  std::vector<unsigned char> noise(8192);
  unsigned generator = 12345;
  for (auto& byte : noise) {
    generator = generator * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(generator >> 16);
  }
  cases.push_back({"random bytes", noise});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_bytes(sav(), c.sav);
    ASSERT_EQ(run(30, ""), 0);
    const SaveRecord record = saved();
    EXPECT_TRUE(record.valid());
    EXPECT_EQ(record.score(), 0);
    EXPECT_EQ(record.plays, 0);
  }
}

}  // namespace

namespace {

// The samples of a 16-bit mono PCM WAV file (empty when it is not one).
std::vector<int16_t> wav_samples(const std::vector<unsigned char>& file) {
  std::vector<int16_t> samples;
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) |
                                 (file[at + 3] << 24));
  };
  if (file.size() < 12 || std::string(file.begin(), file.begin() + 4) != "RIFF" ||
      std::string(file.begin() + 8, file.begin() + 12) != "WAVE")
    return samples;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const std::string id(file.begin() + at, file.begin() + at + 4);
    const size_t size = u32(at + 4);
    const size_t body = at + 8;
    if (body + size > file.size())
      break;
    if (id == "data") {
      for (size_t i = body; i + 1 < body + size; i += 2)
        samples.push_back(static_cast<int16_t>(file[i] | (file[i + 1] << 8)));
      return samples;
    }
    at = body + size + (size & 1);
  }
  return samples;
}

TEST_F(DemoCartridge, ThePictureMovesAndFollowsTheDpad) {
  const std::string png = "\x89PNG";
  // The same game at two moments: the landscape has scrolled and the bats moved.
  ASSERT_EQ(run(400, idle_game_script(), "--screenshot '" + (dir_ / "early.png").string() + "'"), 0);
  ASSERT_EQ(run(700, idle_game_script(), "--screenshot '" + (dir_ / "late.png").string() + "'"), 0);
  // The same moment, once with the raven flown up and once down.
  const std::string up = idle_game_script() + "200 U\n260 -\n";
  const std::string down = idle_game_script() + "200 D\n260 -\n";
  ASSERT_EQ(run(400, up, "--screenshot '" + (dir_ / "up.png").string() + "'"), 0);
  ASSERT_EQ(run(400, down, "--screenshot '" + (dir_ / "down.png").string() + "'"), 0);
  // And the title screen.
  ASSERT_EQ(run(100, "", "--screenshot '" + (dir_ / "title.png").string() + "'"), 0);

  const auto early = read_bytes(dir_ / "early.png");
  const auto late = read_bytes(dir_ / "late.png");
  const auto raven_up = read_bytes(dir_ / "up.png");
  const auto raven_down = read_bytes(dir_ / "down.png");
  const auto title = read_bytes(dir_ / "title.png");
  for (const auto* picture : {&early, &late, &raven_up, &raven_down, &title}) {
    ASSERT_GT(picture->size(), 8u);
    EXPECT_EQ(std::string(picture->begin(), picture->begin() + 4), png);
  }
  EXPECT_NE(early, late);
  EXPECT_NE(raven_up, raven_down);
  EXPECT_NE(title, early);
}

TEST_F(DemoCartridge, TheSongAndTheEffectsAreHeard) {
  const fs::path title_wav = dir_ / "title.wav";
  const fs::path game_wav = dir_ / "game.wav";
  ASSERT_EQ(run(300, "", "--audio '" + title_wav.string() + "'"), 0);
  ASSERT_EQ(run(600, active_game_script(600), "--audio '" + game_wav.string() + "'"), 0);
  for (const fs::path& path : {title_wav, game_wav}) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<int16_t> samples = wav_samples(read_bytes(path));
    // Five seconds at 44100 Hz take at least 200000 samples.
    ASSERT_GT(samples.size(), 200000u);
    double energy = 0;
    int loud = 0;
    for (int16_t s : samples) {
      energy += static_cast<double>(s) * s;
      loud += std::abs(s) > 2000;
    }
    const double rms = std::sqrt(energy / static_cast<double>(samples.size()));
    EXPECT_GT(rms, 500.0);
    // Sound all along, not a click at the start: loud samples in every second.
    for (size_t second = 0; second + 44100 <= samples.size(); second += 44100) {
      const bool heard = std::any_of(samples.begin() + static_cast<long>(second),
                                     samples.begin() + static_cast<long>(second + 44100),
                                     [](int16_t s) { return std::abs(s) > 2000; });
      EXPECT_TRUE(heard) << "second " << second / 44100;
    }
    EXPECT_GT(loud, 1000);
  }
}

}  // namespace
