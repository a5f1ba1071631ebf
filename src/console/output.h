#pragma once

#include <string_view>

// Standard output, the console layer's one seam. Real: console/output_win.cc; fake, for the
// unit tests and the fuzzer: testing/fake_platform.cc.

// One write of `bytes` to the process's standard output, as they are; failures are ignored.
void write_stdout(std::string_view bytes);

// Chooses the handle that write_stdout uses, once, before anything is written. The fake
// needs no choice, so only the real version has it.
void choose_stdout();
