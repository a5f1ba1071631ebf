// The core on the host, for the emulated executables to match: the drives as LETTER=REMOTE
// arguments, NUL-separated raw command lines on stdin. Per line out: the status, the output in
// hex, then each device name asked about and a comma.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "console/process.h"
#include "testing/fake_platform.h"

int main(int argc, char** argv) {
  static std::map<char, std::string> drives;
  for (int i = 1; i < argc; ++i) drives[argv[i][0]] = argv[i] + 2;
  for (std::string line; std::getline(std::cin, line, '\0');) {
    fake = {};
    // WNetGetConnectionA's documented answers for a buffer stated as 255 bytes.
    fake.answer = [](const char* device, std::string& remote) -> std::uint32_t {
      const auto drive = drives.find(static_cast<char>(std::tolower(device[0])));
      if (drive == drives.end()) return 2250;       // ERROR_NOT_CONNECTED
      if (drive->second.size() >= 255) return 234;  // ERROR_MORE_DATA: no room for the zero
      remote = drive->second;
      return 0;
    };
    std::printf("%d ", run_process(line.c_str()));
    for (const unsigned char c : fake.output) std::printf("%02x", c);
    std::printf(" ");
    for (const std::string& device : fake.devices) std::printf("%s,", device.c_str());
    std::printf("\n");
  }
}
