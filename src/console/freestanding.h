#pragma once

#include <cstddef>

// The few C library routines the compiler emits calls to. The executable links no C runtime,
// so it exports these under their C names; here they stay testable beside the real ones.
namespace freestanding {

inline void* fill(void* dest, int value, std::size_t count) {
  auto* d = static_cast<unsigned char*>(dest);
  while (count-- > 0) *d++ = static_cast<unsigned char>(value);
  return dest;
}

inline void* move(void* dest, const void* src, std::size_t count) {
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  if (d < s) {
    while (count-- > 0) *d++ = *s++;
  } else {
    while (count-- > 0) d[count] = s[count];
  }
  return dest;
}

inline int compare(const void* a, const void* b, std::size_t count) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (; count > 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

inline const void* find(const void* s, int c, std::size_t count) {
  const auto* p = static_cast<const unsigned char*>(s);
  for (; count > 0; --count, ++p) {
    if (*p == static_cast<unsigned char>(c)) return p;
  }
  return nullptr;
}

inline std::size_t length(const char* s) {
  const char* p = s;
  while (*p != '\0') ++p;
  return static_cast<std::size_t>(p - s);
}

}  // namespace freestanding
