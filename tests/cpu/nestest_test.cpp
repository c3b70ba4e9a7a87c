// The public nestest program's automation mode, traced by the headless tool
// and compared with the reference log line by line (PC, A, X, Y, P, SP) up to
// the first undocumented opcode, which this CPU runs as a one-byte no-op.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

const std::string roms = CORVEL_SOURCE_DIR "/../shared/roms/nestest/";
constexpr int documented_lines = 5003;

struct Registers {
  std::string pc, a, x, y, p, sp;
};

bool parse_line(const std::string& line, Registers& out) {
  static const std::regex pattern(R"(^([0-9A-F]{4}).*A:([0-9A-F]{2}) X:([0-9A-F]{2}) Y:([0-9A-F]{2}) )"
                                  R"(P:([0-9A-F]{2}) SP:([0-9A-F]{2}))");
  std::smatch m;
  if (!std::regex_search(line, m, pattern))
    return false;
  out = {m[1], m[2], m[3], m[4], m[5], m[6]};
  return true;
}

// Bits 4 and 5 of P are not compared: PLP keeps them exactly as pulled here.
int flags(const std::string& p) {
  return std::stoi(p, nullptr, 16) & 0xCF;
}

TEST(Nestest, TraceMatchesTheReferenceLogUpToTheFirstUndocumentedOpcode) {
  if (!std::filesystem::exists(roms + "nestest.nes"))
    GTEST_SKIP() << "public test ROMs not present";
  std::string trace = testing::TempDir() + "nestest_trace.log";
  std::string command = std::string(CORVEL_HEADLESS) + " --entry C000 --frames 2 --trace " + trace + " " +
                        roms + "nestest.nes > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::ifstream expected_file(roms + "nestest.log"), actual_file(trace);
  std::string expected_line, actual_line;
  for (int n = 1; n <= documented_lines; n++) {
    ASSERT_TRUE(std::getline(expected_file, expected_line));
    ASSERT_TRUE(std::getline(actual_file, actual_line)) << "trace ends at line " << n;
    Registers want, got;
    ASSERT_TRUE(parse_line(expected_line, want));
    ASSERT_TRUE(parse_line(actual_line, got)) << actual_line;
    ASSERT_EQ(got.pc, want.pc) << "line " << n;
    ASSERT_EQ(got.a, want.a) << "line " << n;
    ASSERT_EQ(got.x, want.x) << "line " << n;
    ASSERT_EQ(got.y, want.y) << "line " << n;
    ASSERT_EQ(flags(got.p), flags(want.p)) << "line " << n;
    ASSERT_EQ(got.sp, want.sp) << "line " << n;
  }
  std::remove(trace.c_str());
}

}  // namespace
