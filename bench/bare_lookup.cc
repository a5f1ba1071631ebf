// Floor for a lookup: a process that loads mpr.dll, asks once for n: and exits with the
// call's status, linked the way mapcue.exe is.
#include <windows.h>

extern "C" [[noreturn]] void mapcue_entry() {
  using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  const HMODULE mpr = LoadLibraryA("mpr.dll");
  const FARPROC found = mpr == nullptr ? nullptr : GetProcAddress(mpr, "WNetGetConnectionA");
  if (found == nullptr) ExitProcess(255);
  char remote[256];
  DWORD size = sizeof remote - 1;
  ExitProcess(reinterpret_cast<Fn>(reinterpret_cast<void*>(found))("n:", remote, &size));
}
