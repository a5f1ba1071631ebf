// The process entry of the executable: no C runtime, so this is where the process begins.
#include <windows.h>

#include "console/output.h"
#include "console/process.h"

extern "C" [[noreturn]] void mapcue_entry() {
  choose_stdout();
  ExitProcess(static_cast<UINT>(run_process(GetCommandLineA())));
}
