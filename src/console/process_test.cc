#include "console/process.h"

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace {

TEST(Process, MissingCommandLineFailsStartUpSilently) {
  fake = {};
  EXPECT_EQ(run_process(nullptr), EXIT_STARTUP_FAILED);
  EXPECT_EQ(fake.writes, 0);
  EXPECT_TRUE(fake.devices.empty());
}

TEST(Process, StatusIsTheToolsAndTailReachesIt) {
  fake = {};
  fake.status = 2250;
  EXPECT_EQ(run_process(R"("C:\dir with space\mapcue.exe"n:)"), 1);
  EXPECT_EQ(fake.devices, std::vector<std::string>{"n:"});
  EXPECT_EQ(run_process("mapcue"), 9);
}

}  // namespace
