// The core for the emulated files to match: LETTER=REMOTE arguments, raw lines NUL-ended on stdin.
#include <cstdio>
#include <iostream>
#include <string>

#include "console/process.h"
#include "testing/fake_platform.h"

int main(int argc, char** argv) {
  static const char* drives[256] = {};  // by the letter as typed
  for (int i = 1; i < argc; ++i) drives[static_cast<unsigned char>(argv[i][0])] = argv[i] + 2;
  for (std::string line; std::getline(std::cin, line, '\0');) {
    // WNetGetConnectionA's documented answers for a buffer stated as 255 bytes.
    fake = {.answer = [](const char* device, std::string& remote) -> std::uint32_t {
      const char* drive = drives[static_cast<unsigned char>(device[0])];
      if (drive == nullptr) return 2250;               // ERROR_NOT_CONNECTED
      return (remote = drive).size() < 255 ? 0 : 234;  // ERROR_MORE_DATA: no room for the zero
    }};
    std::printf("%d ", run_process(line.c_str()));
    for (const unsigned char c : fake.output) std::printf("%02x", c);
    for (const std::string& device : fake.devices) std::printf(" %s", device.c_str());
    std::printf("\n");
  }
}
