// mapcue's own core with one byte more of buffer handed to WNetGetConnectionA: 256, where a
// 255-byte name fits with its terminator. The driver must catch it on k: and on k: alone.
#include <windows.h>

#include "console/output.h"
#include "console/process.h"
#include "tool/mpr.h"

void write_stdout(std::string_view bytes) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

std::uint32_t wnet_get_connection(const char* local_name, char* remote_name, std::uint32_t size) {
  DWORD wider = size + 1;
  return WNetGetConnectionA(local_name, remote_name, &wider);
}

int main() { return run_process(GetCommandLineA()); }
