#pragma once

#include <string_view>

// Writes `text` and CR LF to standard output. Failures are ignored.
void print_line(std::string_view text);
