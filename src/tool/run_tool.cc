#include "tool/run_tool.h"

#include "console/print_line.h"
#include "tool/help.h"
#include "tool/lookup.h"

namespace {

constexpr std::string_view LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Only the space is trimmed: a tab in front must still lead to the help screen.
std::string_view trim_spaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// ASCII only: a byte of the upper half is never a drive letter, whatever the code page.
char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int run_tool(std::string_view tail) {
  const std::string_view arg = trim_spaces(tail);
  if (arg.empty() || LETTERS.find(upper_ascii(arg.front())) == std::string_view::npos) {
    print_help();
    return EXIT_OTHER;
  }
  // The letter keeps the case typed; whatever followed it is ignored.
  const char drive_spec[] = {arg.front(), ':', '\0'};
  const RemoteName result = lookup_connection(drive_spec);
  print_line(result.text());
  return result.text() == NOT_CONNECTED_TEXT ? EXIT_NOT_CONNECTED : EXIT_FOUND;
}
