// Standard output of the executable: the process's one handle and the raw write to it.
#include <windows.h>

#include "console/output.h"

namespace {

HANDLE stdout_handle;  // chosen once at start-up, then only read

}  // namespace

void choose_stdout() {
  stdout_handle = GetStdHandle(STD_OUTPUT_HANDLE);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  if ((startup.dwFlags & STARTF_USESTDHANDLES) != 0) stdout_handle = startup.hStdOutput;
}

void write_stdout(std::string_view bytes) {
  // A failing device (a drive with no medium, say) must not raise a dialog in a batch run.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  DWORD written;
  WriteFile(stdout_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  SetErrorMode(previous);
}
