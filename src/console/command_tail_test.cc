#include "console/command_tail.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* raw;
  const char* tail;
};

constexpr Case CASES[] = {
    {R"("C:\Program Files\mapcue.exe" g:)", "g:"},
    {R"("C:\Program Files\mapcue.exe"g:)", "g:"},
    {R"("C:\Program Files\mapcue.exe"   g:  )", "g:  "},
    {"mapcue  g:", "g:"},
    {"mapcue", ""},
    {"mapcue ", ""},
    {"mapcue\tg:", "\tg:"},
    {"mapcue\x01g:", "\x01g:"},
    {"   mapcue g:", "mapcue g:"},
    {" g:", "g:"},
    {"map\xE4\xFFname g:", "g:"},  // bytes of the upper half belong to the name
    {"\tmapcue g:", "g:"},  // the first byte is the name's, whatever it is
    {"\"\" g:", "g:"},
    {"\"unclosed g:", ""},
    {"\"", ""},
    {"", ""},
};

TEST(CommandTail, CutsTheProgramName) {
  for (const Case& c : CASES) EXPECT_EQ(command_tail(c.raw), c.tail) << "raw: " << c.raw;
}

TEST(CommandTail, EndsAtTheTerminatingZero) {
  // The bytes after the zero must never become part of the tail.
  const char raw[] = "\"name\0 x: \" g:";
  EXPECT_EQ(command_tail(raw), "");
  const char plain[] = "name\0 g:";
  EXPECT_EQ(command_tail(plain), "");
}

}  // namespace
