// Floor for a lookup: a process that loads mpr.dll, asks once for n: and exits with the
// call's status, linked the way mapcue.exe is.
#include <windows.h>

extern "C" [[noreturn]] void mapcue_entry() {
  using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  const HMODULE mpr = LoadLibraryA("mpr.dll");
  const auto call = mpr == nullptr ? nullptr
                                   : reinterpret_cast<Fn>(reinterpret_cast<void*>(
                                         GetProcAddress(mpr, "WNetGetConnectionA")));
  if (call == nullptr) ExitProcess(255);
  char remote[256];
  DWORD size = sizeof remote - 1;
  ExitProcess(call("n:", remote, &size));
}
