#include "console/print_line.h"

#include "console/output.h"

void print_line(std::string_view text) {
  if (!text.empty()) write_stdout(text);
  write_stdout("\r\n");
}
