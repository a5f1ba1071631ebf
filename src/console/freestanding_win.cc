#include "console/freestanding.h"

extern "C" {

void* memset(void* dest, int value, std::size_t count) {
  return freestanding::fill(dest, value, count);
}
void* memcpy(void* dest, const void* src, std::size_t count) {
  return freestanding::move(dest, src, count);
}
void* memmove(void* dest, const void* src, std::size_t count) {
  return freestanding::move(dest, src, count);
}
int memcmp(const void* a, const void* b, std::size_t count) {
  return freestanding::compare(a, b, count);
}
void* memchr(const void* s, int c, std::size_t count) {
  return const_cast<void*>(freestanding::find(s, c, count));
}
std::size_t strlen(const char* s) { return freestanding::length(s); }

}  // extern "C"
