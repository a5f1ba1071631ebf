#pragma once

inline constexpr int EXIT_STARTUP_FAILED = 255;

// Everything the process does between start-up and exit, on the raw command line. A line
// that cannot be had (null) is a failed start-up: nothing is written, status 255.
int run_process(const char* raw_command_line);
