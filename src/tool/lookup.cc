#include "tool/lookup.h"

#include <algorithm>
#include <cstdint>

#include "tool/mpr.h"

RemoteName lookup_connection(const char* drive_spec) {
  RemoteName result{};
  // One byte short of the buffer: the last byte stays zero, so even a provider that forgets
  // the terminator cannot make us read past the buffer.
  if (wnet_get_connection(drive_spec, result.bytes.data(), result.bytes.size() - 1) == 0) {
    result.size = static_cast<std::size_t>(
        std::find(result.bytes.begin(), result.bytes.end(), '\0') - result.bytes.begin());
  } else {
    result.size = static_cast<std::size_t>(
        std::copy(NOT_CONNECTED_TEXT.begin(), NOT_CONNECTED_TEXT.end(), result.bytes.begin()) -
        result.bytes.begin());
  }
  return result;
}
