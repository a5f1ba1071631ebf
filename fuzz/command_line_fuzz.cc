// Arbitrary bytes as the raw command line, through the whole core, against a platform that
// answers from the device it is asked about. Aborts on any input that breaks what a caller
// of mapcue relies on.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "console/command_tail.h"
#include "console/output.h"
#include "console/process.h"
#include "testing/golden_help.h"
#include "tool/lookup.h"
#include "tool/mpr.h"

namespace {

std::string output;
int writes = 0;
int lookups = 0;
char looked_up = 0;    // the letter of the device asked about
std::string expected;  // what the platform's answer should make the tool print

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "violated: %s\n", what);
  std::abort();
}

bool ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const GoldenHelp& help_screen() {
  static const GoldenHelp help = golden_help(HELP_GOLDEN);
  check(!help.text.empty(), "golden help screen readable");
  return help;
}

}  // namespace

void write_stdout(std::string_view bytes) {
  output.append(bytes);
  ++writes;
}

// Every kind of answer the core has to cope with, chosen by the letter so that inputs steer it.
std::uint32_t wnet_get_connection(const char* local_name, char* remote_name, std::uint32_t* size) {
  ++lookups;
  looked_up = local_name[0];
  check(ascii_letter(local_name[0]) && local_name[1] == ':' && local_name[2] == '\0',
        "device name is a letter and a colon");
  check(*size == 255, "buffer offered as 255 bytes");
  std::string remote;
  switch (local_name[0] % 7) {
    case 0:
      expected = NOT_CONNECTED_TEXT;
      return 2250;  // not connected
    case 1:
      expected = NOT_CONNECTED_TEXT;
      return 234;  // more data
    case 2:
      remote = std::string("\\\\srv\\share\\") + local_name[0];
      break;
    case 3:
      remote = std::string(254, 'x');
      break;
    case 4:
      remote = std::string(300, 'y');
      break;  // fills the buffer, no terminator
    case 5:
      remote = NOT_CONNECTED_TEXT;
      break;  // success whose text is the failure text
    case 6:
      break;  // success with an empty name
  }
  expected = remote.substr(0, *size);
  std::memcpy(remote_name, expected.data(), expected.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Exactly sized, so reading one byte past the zero is an overflow ASan reports.
  const std::unique_ptr<char[]> raw(new char[size + 1]);
  std::memcpy(raw.get(), data, size);
  raw[size] = '\0';
  const char* const end = raw.get() + std::strlen(raw.get());

  const std::string_view tail = command_tail(raw.get());
  check(tail.empty() || (tail.data() >= raw.get() && tail.data() + tail.size() == end),
        "tail is empty or the end of the line up to its first zero");

  output.clear();
  writes = lookups = 0;
  expected.clear();
  const int status = run_process(raw.get());

  const std::size_t first = tail.find_first_not_of(' ');
  const bool letter = first != std::string_view::npos && ascii_letter(tail[first]);
  check(lookups == (letter ? 1 : 0), "one lookup exactly when the argument starts with a letter");
  check(!letter || looked_up == tail[first], "the letter asked about is the one typed");
  if (!letter) {
    check(status == 9, "help screen gives 9");
    check(output == help_screen().text, "help screen is the golden one");
    check(writes == help_screen().writes, "help screen written line by line");
  } else {
    check(output == expected + "\r\n", "lookup prints the answer as one line");
    check(status == (expected == NOT_CONNECTED_TEXT ? 1 : 0), "status follows the printed text");
    check(writes == (expected.empty() ? 1 : 2), "text and line end written separately");
  }
  return 0;
}
