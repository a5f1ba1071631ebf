#pragma once

// The native fakes of both platform seams (console/output.h, tool/mpr.h), in fake_platform.cc:
// they record in `fake` what the core asked for and answer what the test set there.

#include <cstdint>
#include <string>
#include <vector>

struct FakePlatform {
  std::string output;  // every byte written to standard output
  int writes = 0;
  std::vector<std::string> devices;  // device names looked up, in order
  std::uint32_t status = 0;          // the lookup's answer
  std::string remote;  // copied into the buffer on status 0, unterminated if it fills it
  std::uint32_t size_given = 0;
  bool buffer_clean = true;  // every byte offered, and the one after, was zero
  // When set, decides `status` and `remote` for each device asked about.
  std::uint32_t (*answer)(const char* device, std::string& remote) = nullptr;
};

inline FakePlatform fake;
