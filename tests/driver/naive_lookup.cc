// The plain way to look a drive up: mpr.dll by bare name, so the usual search order applies.
// Prints the remote name; exits with the call's status, or -1 where mpr.dll or the call cannot
// be had. It states the size given after the device name (below 4096), else mapcue's 255. No C
// runtime, so that it is built for each file's own machine, ARM64 too.
#include <windows.h>

#include "console/command_tail.h"

// The one C routine the command tail needs, from kernel32.
extern "C" std::size_t strlen(const char* text) { return static_cast<std::size_t>(lstrlenA(text)); }

extern "C" [[noreturn]] void mapcue_entry() {
  using Fn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  const std::string_view args = command_tail(GetCommandLineA());
  const HMODULE mpr = LoadLibraryA("mpr.dll");
  const auto call = mpr == nullptr ? nullptr
                                   : reinterpret_cast<Fn>(reinterpret_cast<void*>(
                                         GetProcAddress(mpr, "WNetGetConnectionA")));
  if (call == nullptr || args.size() < 2) ExitProcess(static_cast<UINT>(-1));
  const char device[] = {args[0], args[1], '\0'};
  static char remote[4096];
  DWORD size = 0;
  for (const char c : args.substr(2))
    if (c >= '0' && c <= '9') size = size * 10 + static_cast<DWORD>(c - '0');
  if (size == 0 || size >= sizeof remote) size = 255;
  const DWORD status = call(device, remote, &size);
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), remote, static_cast<DWORD>(lstrlenA(remote)), &written,
            nullptr);
  ExitProcess(status);
}
