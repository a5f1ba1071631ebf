#include "tool/run_tool.h"

#include "console/print_line.h"
#include "tool/help.h"
#include "tool/lookup.h"

namespace {

constexpr std::string_view LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// ASCII only: a byte of the upper half is never a drive letter, whatever the code page.
char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int run_tool(std::string_view tail) {
  // Leading spaces only: nothing after the first byte is read, and a tab must still lead to help.
  while (!tail.empty() && tail.front() == ' ') tail.remove_prefix(1);
  if (tail.empty() || LETTERS.find(upper_ascii(tail.front())) == std::string_view::npos) {
    print_help();
    return EXIT_OTHER;
  }
  // The letter keeps the case typed; whatever followed it is ignored.
  const char drive_spec[] = {tail.front(), ':', '\0'};
  const RemoteName result = lookup_connection(drive_spec);
  print_line(result.text());
  return result.text() == NOT_CONNECTED_TEXT ? EXIT_NOT_CONNECTED : EXIT_FOUND;
}
