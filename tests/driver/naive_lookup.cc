// The plain way to look a drive up: mpr.dll by bare name, so the usual search order applies.
// Prints the remote name; exits with the call's status. The buffer offered is mapcue's 255
// bytes, or the size given after the device name.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  const HMODULE mpr = LoadLibraryA("mpr.dll");
  if (mpr == nullptr || argc < 2) return -1;
  const auto call =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetConnectionA")));
  static char remote[4096];
  DWORD size = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 255;
  if (size >= sizeof remote) return -1;
  const DWORD status = call(argv[1], remote, &size);
  std::fputs(remote, stdout);
  return static_cast<int>(status);
}
