#include "tool/lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/fake_platform.h"

namespace {

TEST(Lookup, EveryFailureFoldsIntoOneText) {
  // not connected, bad device, unavailable, no network, extended error, more data, other
  for (const std::uint32_t status : {2250u, 1200u, 1201u, 1222u, 1208u, 234u, 0xFFFFFFFFu}) {
    fake = {};
    fake.status = status;
    fake.remote = "\\\\ignored\\share";
    EXPECT_EQ(lookup_connection("q:").text(), "ERROR_NOT_CONNECTED") << status;
  }
}

TEST(Lookup, AsksWithAZeroedBufferOneByteShort) {
  fake = {};
  fake.remote = "\\\\srv\\share";
  EXPECT_EQ(lookup_connection("g:").text(), "\\\\srv\\share");
  EXPECT_EQ(fake.devices, std::vector<std::string>{"g:"});
  EXPECT_EQ(fake.size_given, 255u);
  EXPECT_TRUE(fake.buffer_clean);
}

TEST(Lookup, NameIsTakenUpToItsZeroAndNeverPastTheBuffer) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"", 0},
      {std::string("\\\\srv\\a\0junk", 12), 7},
      {std::string(254, 'x'), 254},
      {std::string(300, 'y'), 255},  // a provider that fills the buffer without a terminator
      {"\\\\s\xE9rver\\\xFC", 10},   // bytes of the code page pass unchanged
  };
  for (const auto& [remote, size] : cases) {
    fake = {};
    fake.remote = remote;
    EXPECT_EQ(lookup_connection("g:").text(), remote.substr(0, size));
  }
}

}  // namespace
