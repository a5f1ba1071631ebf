#pragma once

#include <string_view>

// One write of `bytes` to the process's standard output, as they are; failures are ignored.
void write_stdout(std::string_view bytes);
