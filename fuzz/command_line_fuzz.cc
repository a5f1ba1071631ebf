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
#include <utility>

#include "console/command_tail.h"
#include "console/process.h"
#include "testing/fake_platform.h"
#include "testing/golden_help.h"

namespace {

const std::string NOT_CONNECTED = "ERROR_NOT_CONNECTED";

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "violated: %s\n", what);
  std::abort();
}

bool ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Every kind of answer the core has to cope with, chosen by the letter so that inputs steer it.
std::uint32_t answer(const char* device, std::string& remote) {
  const std::pair<std::uint32_t, std::string> answers[] = {
      {2250, ""},  // not connected
      {234, ""},   // more data
      {0, std::string("\\\\srv\\share\\") + device[0]},
      {0, std::string(254, 'x')},
      {0, std::string(300, 'y')},  // fills the buffer, no terminator
      {0, NOT_CONNECTED},          // success whose text is the failure text
      {0, ""},                     // success with an empty name
  };
  const auto& [status, text] = answers[static_cast<unsigned char>(device[0]) % std::size(answers)];
  remote = text;
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Zeroed and exactly sized: reading past the final zero is an overflow ASan reports.
  const auto raw = std::make_unique<char[]>(size + 1);
  std::memcpy(raw.get(), data, size);
  const char* const end = raw.get() + std::strlen(raw.get());

  const std::string_view tail = command_tail(raw.get());
  check(tail.empty() || (tail.data() >= raw.get() && tail.data() + tail.size() == end),
        "tail is empty or the end of the line up to its first zero");

  fake = {.answer = answer};
  const int status = run_process(raw.get());

  const std::size_t first = tail.find_first_not_of(' ');
  const bool letter = first != std::string_view::npos && ascii_letter(tail[first]);
  check(fake.devices.size() == (letter ? 1u : 0u),
        "one lookup exactly when the argument starts with a letter");
  if (!letter) {
    static const GoldenHelp help = golden_help(HELP_GOLDEN);
    check(!help.text.empty(), "golden help screen readable");
    check(status == 9, "help screen gives 9");
    check(fake.output == help.text, "help screen is the golden one");
    check(fake.writes == help.writes, "help screen written line by line");
    return 0;
  }
  check(fake.devices[0] == std::string{tail[first], ':'},
        "the device asked about is the letter typed and a colon");
  check(fake.size_given == 255 && fake.buffer_clean, "a zeroed buffer offered as 255 bytes");
  const std::string expected = fake.status == 0 ? fake.remote.substr(0, 255) : NOT_CONNECTED;
  check(fake.output == expected + "\r\n", "lookup prints the answer as one line");
  check(status == (expected == NOT_CONNECTED ? 1 : 0), "status follows the printed text");
  check(fake.writes == (expected.empty() ? 1 : 2), "text and line end written separately");
  return 0;
}
