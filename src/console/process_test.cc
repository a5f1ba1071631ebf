#include "console/process.h"

#include <gtest/gtest.h>

#include "testing/fake_platform.h"
#include "testing/golden_help.h"

namespace {

TEST(Process, StatusAndOutputFollowTheRawLine) {
  const GoldenHelp help = golden_help(HELP_GOLDEN);
  ASSERT_FALSE(help.text.empty()) << "golden file missing or damaged";
  struct Case {
    const char* raw;
    int status;
    std::vector<std::string> devices;
    std::string output;
    int writes;
  };
  const Case cases[] = {
      {nullptr, 255, {}, "", 0},  // no command line to be had: a failed start-up, silent
      {R"("C:\dir with space\mapcue.exe"n:)", 1, {"n:"}, "ERROR_NOT_CONNECTED\r\n", 2},
      {"mapcue   g:  ", 1, {"g:"}, "ERROR_NOT_CONNECTED\r\n", 2},
      {"mapcue", 9, {}, help.text, help.writes},
      {"\"unclosed g:", 9, {}, help.text, help.writes},  // the quote swallows the letter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw == nullptr ? "no command line" : c.raw);
    fake = {};
    fake.status = 2250;
    EXPECT_EQ(run_process(c.raw), c.status);
    EXPECT_EQ(fake.devices, c.devices);
    EXPECT_EQ(fake.output, c.output);
    EXPECT_EQ(fake.writes, c.writes);
  }
}

}  // namespace
