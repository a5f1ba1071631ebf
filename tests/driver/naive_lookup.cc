// The plain way to look a drive up: mpr.dll by bare name, so the usual search order applies.
// Prints the remote name; exits with the call's status.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  const HMODULE mpr = LoadLibraryA("mpr.dll");
  if (mpr == nullptr || argc < 2) return -1;
  const auto call =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetConnectionA")));
  char remote[256] = {};
  DWORD size = 255;
  const DWORD status = call(argv[1], remote, &size);
  std::fputs(remote, stdout);
  return static_cast<int>(status);
}
