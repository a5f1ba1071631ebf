#include "console/process.h"

#include "console/command_tail.h"
#include "tool/run_tool.h"

int run_process(const char* raw_command_line) {
  if (raw_command_line == nullptr) return EXIT_STARTUP_FAILED;
  return run_tool(command_tail(raw_command_line));
}
