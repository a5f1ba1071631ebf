#pragma once

// The help screen as tests/data/help.golden holds it, the one source of its shape for every
// test: its bytes, and the writes print_line makes for it (one per line's text, if it has
// any, and one per line end).
#include <fstream>
#include <iterator>
#include <string>

struct GoldenHelp {
  std::string text;  // empty when the file is missing or does not end in a line end
  int writes = 0;
};

inline GoldenHelp golden_help(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  GoldenHelp help{std::string(std::istreambuf_iterator<char>(file), {})};
  if (!help.text.ends_with("\r\n")) return {};
  for (std::size_t at = 0; at < help.text.size(); at = help.text.find("\r\n", at) + 2) {
    help.writes += help.text.compare(at, 2, "\r\n") == 0 ? 1 : 2;
  }
  return help;
}
