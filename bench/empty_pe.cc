// Floor for every call: a process that does nothing, linked the way mapcue.exe is.
#include <windows.h>

extern "C" [[noreturn]] void mapcue_entry() { ExitProcess(0); }
