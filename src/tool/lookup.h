#pragma once

#include <array>
#include <cstddef>
#include <string_view>

inline constexpr std::string_view NOT_CONNECTED_TEXT = "ERROR_NOT_CONNECTED";

// A lookup's answer. It carries its own bytes, so it outlives the call that filled them.
struct RemoteName {
  std::array<char, 256> bytes;
  std::size_t size;

  std::string_view text() const { return {bytes.data(), size}; }
};

// The remote name behind a zero-terminated device name such as "g:", or NOT_CONNECTED_TEXT
// for every failure.
RemoteName lookup_connection(const char* drive_spec);
