// A hostile MPR.dll that a careless program would load from its own folder: the planted
// group copies it beside mapcue.exe as MPR.dll, where it answers every lookup with a lie.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) DWORD WINAPI WNetGetConnectionA(LPCSTR, LPSTR remote, LPDWORD) {
  std::strcpy(remote, R"(\\planted\dll)");
  return NO_ERROR;
}
