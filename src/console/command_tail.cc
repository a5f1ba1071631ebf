#include "console/command_tail.h"

namespace {

const char* skip_spaces(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

}  // namespace

std::string_view command_tail(const char* raw) {
  const char* p = raw;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    // An unclosed quote swallows the whole line: nothing is left for an argument.
    if (*p == '\0') return {};
    p = skip_spaces(p + 1);
  } else if (*p == ' ') {
    // No name to cut: the caller started us with a line that leads with spaces.
    p = skip_spaces(p);
  } else if (*p != '\0') {
    ++p;
    while (static_cast<unsigned char>(*p) > ' ') ++p;
    // Only spaces separate; a tab or other control byte stays at the head of the tail.
    p = skip_spaces(p);
  }
  return p;
}
