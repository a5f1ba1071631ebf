// Writes one byte to its standard output; exits with the error that write met, 0 if none.
// Shows that a standard output handed over by the test really fails.
#include <windows.h>

int main() {
  DWORD written;
  return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "x", 1, &written, nullptr)
             ? 0
             : static_cast<int>(GetLastError());
}
