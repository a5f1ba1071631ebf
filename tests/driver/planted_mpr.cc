// A hostile MPR.dll that a careless program would load from its own folder: the planted
// group copies it beside mapcue.exe as MPR.dll, where it answers every lookup with a lie. No C
// runtime, so that it is built for each file's own machine, ARM64 too: this is its entry.
// Not windows.h: its declaration of WNetGetConnectionA would clash with this one.
#include <windef.h>
#include <winbase.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" __declspec(dllexport) DWORD WINAPI WNetGetConnectionA(LPCSTR, LPSTR remote, LPDWORD) {
  lstrcpyA(remote, R"(\\planted\dll)");
  return NO_ERROR;
}
