// mpr.dll is not one of the DLLs Windows always takes from the system directory, so a static
// import would load a copy planted beside the executable. It is loaded here, by full path,
// and only when a lookup needs it.
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "tool/mpr.h"

namespace {

using WNetGetConnectionFn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);

WNetGetConnectionFn load_wnet_get_connection() {
  constexpr std::string_view FILE_NAME = "\\mpr.dll";
  char path[MAX_PATH + FILE_NAME.size() + 1];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  *std::copy(FILE_NAME.begin(), FILE_NAME.end(), path + length) = '\0';
  // Altered search path: mpr.dll's own dependencies also come from the system directory.
  const HMODULE mpr = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (mpr == nullptr) return nullptr;
  return reinterpret_cast<WNetGetConnectionFn>(
      reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetConnectionA")));
}

}  // namespace

std::uint32_t wnet_get_connection(const char* local_name, char* remote_name, std::uint32_t size) {
  const WNetGetConnectionFn call = load_wnet_get_connection();
  if (call == nullptr) return ERROR_NOT_CONNECTED;
  DWORD platform_size = size;
  return call(local_name, remote_name, &platform_size);
}
