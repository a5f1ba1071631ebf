#include "console/freestanding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Freestanding, AgreesWithTheCLibrary) {
  const std::string samples[] = {"", "a", "abc", "ab\xFF", "ab\x01", std::string("a\0b", 3)};
  for (const std::string& a : samples) {
    for (const std::string& b : samples) {
      const std::size_t n = std::min(a.size(), b.size());
      const int want = std::memcmp(a.data(), b.data(), n);
      EXPECT_EQ(freestanding::compare(a.data(), b.data(), n), (want > 0) - (want < 0)) << a << b;
    }
    EXPECT_EQ(freestanding::length(a.c_str()), std::strlen(a.c_str()));
    for (const int c : {int{'a'}, int{'b'}, 0xFF, 0x1FF, 0}) {
      EXPECT_EQ(freestanding::find(a.data(), c, a.size()), std::memchr(a.data(), c, a.size()));
    }
  }
}

TEST(Freestanding, MoveHandlesOverlapBothWays) {
  char up[] = "abcdef";
  EXPECT_EQ(freestanding::move(up + 1, up, 4), up + 1);
  EXPECT_STREQ(up, "aabcdf");
  char down[] = "abcdef";
  freestanding::move(down, down + 2, 4);
  EXPECT_STREQ(down, "cdefef");
  char filled[4] = "xyz";
  EXPECT_EQ(freestanding::fill(filled, 0x141, 2), filled);
  EXPECT_EQ(std::string(filled, 3), "AAz");
}

}  // namespace
