#pragma once

#include <string_view>

inline constexpr int EXIT_FOUND = 0;
inline constexpr int EXIT_NOT_CONNECTED = 1;
inline constexpr int EXIT_OTHER = 9;

// The tool's whole decision: help screen or lookup. Returns the exit status.
int run_tool(std::string_view tail);
