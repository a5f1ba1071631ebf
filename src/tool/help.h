#pragma once

#include <string_view>

inline constexpr std::string_view VERSION_TEXT = "1.00";
// The banner's gap shrinks as the version text grows, so the credit keeps its column.
inline constexpr std::size_t BANNER_PAD_BASE = 43;

// The 22-line help screen, one print_line each.
void print_help();
