#include "tool/run_tool.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/fake_platform.h"
#include "testing/golden_help.h"
#include "tool/help.h"

namespace {

constexpr std::string_view UNC = R"(\\fileserver\public\docs)";

TEST(RunTool, LooksUpTheFirstLetterAsTyped) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"g:", "g:"}, {"g:  ", "g:"},  {"  g:  ", "g:"}, {"G:", "G:"},  {R"(G:\some\folder)", "G:"},
      {"Gx", "G:"}, {"G: H:", "G:"}, {"help", "h:"},   {"z\t", "z:"},
  };
  // Every letter alone, in both cases.
  for (const char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) {
    cases.push_back({{c}, {c, ':'}});
  }
  for (const auto& [tail, device] : cases) {
    fake = {};
    fake.remote = UNC;
    EXPECT_EQ(run_tool(tail), 0) << tail;
    EXPECT_EQ(fake.devices, std::vector<std::string>{std::string(device)}) << tail;
    EXPECT_EQ(fake.output, std::string(UNC) + "\r\n") << tail;
  }
}

TEST(RunTool, ShowsHelpForAnythingButALetter) {
  const std::string_view tails[] = {"",  "    ", "/?", "-h", "1",    ":",    "\"g:\"", "\tg:",
                                    "@", "[",    "`",  "{",  "\x80", "\xE4", "\xFF",   "\x01"};
  const GoldenHelp help = golden_help(HELP_GOLDEN);
  ASSERT_FALSE(help.text.empty()) << "golden file missing or damaged";
  for (const std::string_view tail : tails) {
    fake = {};
    EXPECT_EQ(run_tool(tail), 9) << tail;
    EXPECT_TRUE(fake.devices.empty()) << tail;
    EXPECT_EQ(fake.output, help.text) << tail;
    EXPECT_EQ(fake.writes, help.writes) << "one write per line text, one per line end";
  }
}

TEST(RunTool, BannerKeepsTheCreditInItsColumn) {
  fake = {};
  print_help();
  const std::string banner = fake.output.substr(2, fake.output.find("\r\n", 2) - 2);
  EXPECT_EQ(banner.size(), 79u);
  EXPECT_EQ(banner.substr(0, 12), std::string("Mapcue v") + FILE_VERSION_TEXT);
  EXPECT_EQ(banner.substr(12, 39), std::string(39, ' '));
  EXPECT_EQ(banner.substr(51, 12), "Created by: ");
}

TEST(RunTool, BannerVersionIsTheFileVersion) {
  // The banner keeps its own constant; a version bump must reach both.
  EXPECT_EQ(VERSION_TEXT, FILE_VERSION_TEXT);
}

TEST(RunTool, StatusFollowsThePrintedText) {
  struct Case {
    std::uint32_t status;
    std::string remote;
    std::string printed;
    int exit;
  };
  const Case cases[] = {
      {0, std::string(UNC), std::string(UNC), 0},
      {0, "", "", 0},
      {0, "ERROR_NOT_CONNECTED", "ERROR_NOT_CONNECTED", 1},
      {0, "error_not_connected", "error_not_connected", 0},
      {2250, "", "ERROR_NOT_CONNECTED", 1},
  };
  for (const Case& c : cases) {
    fake = {};
    fake.status = c.status;
    fake.remote = c.remote;
    EXPECT_EQ(run_tool("n:"), c.exit) << c.remote;
    EXPECT_EQ(fake.output, c.printed + "\r\n") << c.remote;
    EXPECT_EQ(fake.writes, c.printed.empty() ? 1 : 2) << "an empty line is the line end alone";
  }
}

}  // namespace
