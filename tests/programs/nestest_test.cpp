// The public nestest program's automation mode, traced by the headless tool
// and compared with the reference log (PC, A, X, Y, P less bits 4 and 5, SP)
// up to the first undocumented opcode, which this CPU runs as a no-op.
#include <fstream>
#include <regex>

#include "support/fixtures.h"

namespace {

TEST(Nestest, TraceMatchesTheReferenceLogUpToTheFirstUndocumentedOpcode) {
  const std::string rom = public_rom("nestest/nestest.nes");
  if (rom.empty())
    GTEST_SKIP() << "public test ROMs not present";
  ScratchDir dir;
  ASSERT_EQ(run_headless("--entry C000 --frames 2 --trace '" + (dir / "trace") + "' '" + rom + "'").status,
            0);
  std::ifstream expected(public_rom("nestest/nestest.log")), actual(dir / "trace");
  const std::regex pattern(R"(^([0-9A-F]{4}).*A:([0-9A-F]{2}) X:([0-9A-F]{2}) Y:([0-9A-F]{2}) )"
                           R"(P:([0-9A-F]{2}) SP:([0-9A-F]{2}))");
  std::string want_line, got_line;
  for (int n = 1; n <= 5003; n++) {
    ASSERT_TRUE(std::getline(expected, want_line) && std::getline(actual, got_line)) << "line " << n;
    std::smatch want, got;
    ASSERT_TRUE(std::regex_search(want_line, want, pattern) && std::regex_search(got_line, got, pattern));
    const auto same = [&](int i) { return want[i] == got[i]; };
    const int want_p = std::stoi(want[5], nullptr, 16) & 0xCF;
    const int got_p = std::stoi(got[5], nullptr, 16) & 0xCF;
    ASSERT_TRUE(same(1) && same(2) && same(3) && same(4) && same(6) && want_p == got_p)
        << "line " << n << "\nwant " << want_line << "\ngot  " << got_line;
  }
}

}  // namespace
