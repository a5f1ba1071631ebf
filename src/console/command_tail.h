#pragma once

#include <string_view>

// The raw command line less the program name and the spaces after it. Never reads past the
// terminating zero.
std::string_view command_tail(const char* raw);
