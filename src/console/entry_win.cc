// The process entry of the executable: no C runtime, so this is where the process begins.
#include <windows.h>

#include "console/output.h"
#include "console/process.h"

namespace {

HANDLE stdout_handle;  // chosen once at start-up, then only read

}  // namespace

void write_stdout(std::string_view bytes) {
  // A failing device (a drive with no medium, say) must not raise a dialog in a batch run.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  DWORD written;
  WriteFile(stdout_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  SetErrorMode(previous);
}

extern "C" [[noreturn]] void mapcue_entry() {
  stdout_handle = GetStdHandle(STD_OUTPUT_HANDLE);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  if ((startup.dwFlags & STARTF_USESTDHANDLES) != 0) stdout_handle = startup.hStdOutput;
  ExitProcess(static_cast<UINT>(run_process(GetCommandLineA())));
}
