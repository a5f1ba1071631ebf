// Starts the real mapcue.exe with exact raw command lines and checks its bytes and status.
// usage: e2e GROUP MAPCUE_EXE HELP_GOLDEN NAIVE_LOOKUP_EXE PLANTED_MPR_DLL RELOCATED_RUN_EXE (host
// paths)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_files.h"

namespace {

const std::string M_UNC = R"(\\fileserver\public)";
const std::string N_UNC = R"(\\fileserver\public\docs)";
const std::string NOT_CONNECTED = "ERROR_NOT_CONNECTED";
// j: (254 bytes, the longest that fits) and u: (non-ASCII, in code page 1252).
const std::string J_UNC =
    R"(\\fileserver\long\)" + std::string(200, 'a') + '\\' + std::string(35, 'b');
const std::string U_UNC =
    "\\\\fileserver\\\xD6"
    "ffentlich\\B\xFC"
    "cher\x80";
// l: maps 300 bytes. Wine's mpr answers success for a name that long, with junk in the
// buffer, where Windows answers ERROR_MORE_DATA; either must give one sane line.
constexpr DWORD JUNK_OR_NOT_CONNECTED = 0x10000;
std::string help;  // the golden help screen

struct Run {
  DWORD status = 0;
  std::string out;
};

// Starts `exe` with exactly `command_line` and stdout on `out`; waits a bounded time.
// With `out` null and `absent`, the child inherits our standard handles instead.
DWORD start(const std::string& exe, std::string command_line, HANDLE out, bool absent = false) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = absent ? 0 : STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 0xDEAD0001;
  }
  DWORD status = 0xDEAD0002;  // hung: killed
  if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

Run run_piped(const std::string& exe, const std::string& command_line) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end, write_end;
  CreatePipe(&read_end, &write_end, &inherit, 1 << 16);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  Run run;
  run.status = start(exe, command_line, write_end);
  CloseHandle(write_end);
  char buffer[4096];
  DWORD got;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
    run.out.append(buffer, got);
  CloseHandle(read_end);
  return run;
}

Run run_to_file(const std::string& exe, const std::string& command_line, const std::string& file) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  Run run;
  run.status = start(exe, command_line, out);
  CloseHandle(out);
  run.out = read_file(file);
  return run;
}

int passed = 0, failed = 0;

void fail(const std::string& what) {
  ++failed;
  std::printf("FAIL %s\n", what.c_str());
}

bool one_sane_line(const Run& got) {
  const std::size_t end = got.out.find("\r\n");
  if (end == std::string::npos || end + 2 != got.out.size() || end > 255) return false;
  if (got.status == 1) return got.out == NOT_CONNECTED + "\r\n";
  std::printf("note: Wine's mpr answered success with %zu junk bytes:", end);
  for (std::size_t i = 0; i < end; ++i)
    std::printf(" %02X", static_cast<unsigned char>(got.out[i]));
  std::printf("\n");
  return got.status == 0 && got.out != NOT_CONNECTED + "\r\n";
}

void expect(const std::string& name, const Run& got, DWORD status, const std::string& out) {
  if (status == JUNK_OR_NOT_CONNECTED ? one_sane_line(got)
                                      : got.status == status && got.out == out) {
    ++passed;
    return;
  }
  ++failed;
  std::printf("FAIL %s: status %lu (want %lu), output [%s] (want [%s])\n", name.c_str(), got.status,
              status, got.out.c_str(), out.c_str());
}

std::string line(const std::string& text) { return text + "\r\n"; }

struct Case {
  std::string args;  // what follows `"mapcue.exe" ` on the raw command line
  DWORD status;
  std::string out;
};

// What the test prefix gives for a letter, whatever its case.
Case lookup_of(char letter) {
  const std::string arg{letter, ':'};
  switch (letter | 0x20) {
    case 'm':
      return {arg, 0, line(M_UNC)};
    case 'n':
      return {arg, 0, line(N_UNC)};
    case 'j':
      return {arg, 0, line(J_UNC)};
    case 'u':
      return {arg, 0, line(U_UNC)};
    case 'l':
      return {arg, JUNK_OR_NOT_CONNECTED, ""};
    default:
      return {arg, 1, line(NOT_CONNECTED)};
  }
}

bool ascii_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::vector<Case> lookup_cases() {
  return {{"n", 0, line(N_UNC)},
          {"n:", 0, line(N_UNC)},
          {"N:", 0, line(N_UNC)},
          {"  n:  ", 0, line(N_UNC)},
          {R"(n:\some\folder)", 0, line(N_UNC)},
          {"nx", 0, line(N_UNC)},
          {"m:", 0, line(M_UNC)},
          {"M", 0, line(M_UNC)},
          {"c:", 1, line(NOT_CONNECTED)},
          {"q:", 1, line(NOT_CONNECTED)},
          {"help", 1, line(NOT_CONNECTED)}};
}

std::vector<Case> help_cases() {
  std::vector<Case> cases;
  for (const char* args : {"", "   ", "/?", "-h", "1", ":", "\"n:\"", "\tn:", "\xE4:"})
    cases.push_back({args, 9, help});
  return cases;
}

void run_cases(const std::string& exe, const std::vector<Case>& cases) {
  for (const Case& c : cases)
    expect("args [" + c.args + "]", run_piped(exe, '"' + exe + "\" " + c.args), c.status, c.out);
}

std::string make_temp_dir(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string dir = temp + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

// A standard output that takes no byte. "absent": the child inherits a null one from us.
struct Sink {
  std::string name;
  HANDLE handle;
};

std::vector<Sink> dead_sinks(const std::string& dir) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string file = dir + "\\read-only.txt";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  HANDLE reader, writer;
  CreatePipe(&reader, &writer, &inherit, 0);
  CloseHandle(reader);
  std::vector<Sink> sinks = {
      {"null", nullptr},
      {"invalid", INVALID_HANDLE_VALUE},
      {"absent", nullptr},
      {"/dev/full", CreateFileA("Z:\\dev\\full", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, OPEN_EXISTING, 0, nullptr)},
      {"pipe, reader gone", writer},
      {"read-only file", CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                     OPEN_EXISTING, 0, nullptr)}};
  // Opened last and tried first, so that no handle of ours takes its value in between.
  const HANDLE closed =
      CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
  CloseHandle(closed);
  sinks.insert(sinks.begin(), {"closed", closed});
  return sinks;
}

// Runs against each dead sink; the status must be what it is with a working stdout, promptly.
void run_dead_sinks(const std::string& exe) {
  const std::string dir = make_temp_dir("mapcue-stdout");
  ULONGLONG slowest = 0;
  for (const Sink& sink : dead_sinks(dir)) {
    const bool absent = sink.name == "absent";
    if (!absent) {  // the control: a write there does fail
      DWORD written;
      const bool wrote = WriteFile(sink.handle, "x", 1, &written, nullptr);
      std::printf("%s: a write fails with error %lu\n", sink.name.c_str(),
                  wrote ? 0 : GetLastError());
      if (wrote) fail("control: a write to " + sink.name + " succeeds");
    }
    for (const Case& c :
         {Case{"n:", 0, ""}, Case{"j:", 0, ""}, Case{"c:", 1, ""}, Case{"", 9, ""}}) {
      const HANDLE ours = GetStdHandle(STD_OUTPUT_HANDLE);
      if (absent) SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
      const ULONGLONG begin = GetTickCount64();
      Run run;
      run.status = start(exe, '"' + exe + "\" " + c.args, sink.handle, absent);
      const ULONGLONG took = GetTickCount64() - begin;
      SetStdHandle(STD_OUTPUT_HANDLE, ours);
      slowest = took > slowest ? took : slowest;
      if (took > 5000) run.status = 0xDEAD0003;  // not prompt
      expect(sink.name + " [" + c.args + "]", run, c.status, "");
    }
  }
  if (read_file(dir + "\\read-only.txt") != "") fail("the read-only file was written");
  std::printf("slowest run: %llu ms\n", slowest);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fputs(
        "usage: e2e GROUP MAPCUE_EXE HELP_GOLDEN NAIVE_LOOKUP_EXE PLANTED_MPR_DLL "
        "RELOCATED_RUN_EXE\n",
        stderr);
    return 2;
  }
  const std::string group = argv[1];
  const std::string exe = windows_path(argv[2]);
  help = read_file(windows_path(argv[3]));
  if (help.size() != 775) {
    std::puts("FAIL golden help screen missing or damaged");
    return 1;
  }

  if (group == "lookup") {
    run_cases(exe, lookup_cases());
  } else if (group == "help") {
    run_cases(exe, help_cases());
  } else if (group == "raw") {
    const Case raw[] = {
        {"mapcue.exe\tn:", 9, help},           // a tab stays in front of the argument
        {'"' + exe + "\"n:", 0, line(N_UNC)},  // nothing needed after the closing quote
        {"mapcue  n:", 0, line(N_UNC)},
        {"   mapcue n:", 0, line(M_UNC)},  // leading spaces: the name itself is the argument
        {"\"unclosed n:", 9, help},
        {"mapcue", 9, help},
        {"", 9, help},
    };
    for (const Case& c : raw)
      expect("raw [" + c.args + "]", run_piped(exe, c.args), c.status, c.out);
  } else if (group == "redirect") {
    const std::string file = make_temp_dir("mapcue-redirect") + "\\out.txt";
    for (const Case& c :
         {Case{"n:", 0, line(N_UNC)}, Case{"c:", 1, line(NOT_CONNECTED)}, Case{"", 9, help}}) {
      expect("to file [" + c.args + "]", run_to_file(exe, '"' + exe + "\" " + c.args, file),
             c.status, c.out);
    }
  } else if (group == "spaced") {
    const std::string copy = make_temp_dir("mapcue dir with space") + "\\mapcue.exe";
    CopyFileA(exe.c_str(), copy.c_str(), FALSE);
    for (const Case& c : {Case{" n:", 0, line(N_UNC)}, Case{"n:", 0, line(N_UNC)},
                          Case{"  c:", 1, line(NOT_CONNECTED)}, Case{"", 9, help}}) {
      expect("spaced [" + c.args + "]", run_piped(copy, '"' + copy + '"' + c.args), c.status,
             c.out);
    }
  } else if (group == "planted") {
    const std::string dir = make_temp_dir("mapcue-planted");
    for (const auto& [from, to] :
         {std::pair{exe, "\\mapcue.exe"}, std::pair{windows_path(argv[4]), "\\naive.exe"},
          std::pair{windows_path(argv[5]), "\\MPR.dll"}}) {
      CopyFileA(from.c_str(), (dir + to).c_str(), FALSE);
    }
    const std::string naive = dir + "\\naive.exe", planted_exe = dir + "\\mapcue.exe";
    // The control: a plain program next to the plant does load it, so the test can fail.
    expect("naive program loads the plant", run_piped(naive, "naive c:"), 0, R"(\\planted\dll)");
    expect("planted c:", run_piped(planted_exe, "mapcue c:"), 1, line(NOT_CONNECTED));
    expect("planted n:", run_piped(planted_exe, "mapcue n:"), 0, line(N_UNC));
  } else if (group == "bytes") {
    // Every byte but the zero, first as the argument's first byte, then as the name's.
    for (int b = 1; b < 256; ++b) {
      const char c = static_cast<char>(b);
      // A letter after it shows whether the byte was taken for a separator.
      Case arg = ascii_letter(b) ? lookup_of(c)
                 : c == ' '      ? Case{"", 0, line(N_UNC)}
                                 : Case{"", 9, help};
      arg.args = '"' + exe + "\" " + c + "n:";
      Case name{c + std::string("mapcue n:"), 0, line(N_UNC)};
      if (c == '"') name = {name.args, 9, help};         // an unclosed quote takes the whole line
      if (c == ' ') name = {name.args, 0, line(M_UNC)};  // the name itself becomes the argument
      for (const Case& t : {arg, name}) {
        char label[32];
        std::snprintf(label, sizeof label, "byte 0x%02X %s", b, &t == &arg ? "arg" : "name");
        expect(label, run_piped(exe, t.args), t.status, t.out);
      }
    }
  } else if (group == "lines") {
    // 32766 characters and the terminating zero: the longest line Windows passes on.
    const std::size_t most = 32766;
    const std::string quoted = '"' + exe + '"';
    const Case lines[] = {
        {quoted + " n:" + std::string(8192 - quoted.size() - 3, ' '), 0, line(N_UNC)},
        {quoted + std::string(8190 - quoted.size(), ' ') + "n:", 0, line(N_UNC)},
        {quoted + " n" + std::string(most - quoted.size() - 2, 'x'), 0, line(N_UNC)},
        {quoted + std::string(most - quoted.size(), ' '), 9, help},
        {std::string(most - 3, 'x') + " n:", 0, line(N_UNC)},  // an unquoted name that long
        {'"' + std::string(most - 1, 'x'), 9, help},           // a quote that never closes
        {'"' + exe + " n:", 9, help},
        {"\"", 9, help},
        {std::string(8192, '"'), 9, help},
        {std::string(most, ' '), 9, help},  // nothing but spaces
        {" ", 9, help},
        {quoted + "\tn:", 9, help},  // tabs never separate
        {"mapcue \tn:", 9, help},
        {"mapcue\t n:", 9, help},
        {quoted + std::string(8000, '\t') + "n:", 9, help},
    };
    for (const Case& c : lines) {
      expect("line of " + std::to_string(c.args.size()) + " [" + c.args.substr(0, 40) + "]",
             run_piped(exe, c.args), c.status, c.out);
    }
  } else if (group == "names") {
    for (const char letter : {'j', 'J', 'k', 'l', 'u', 'U'}) {
      const Case c = lookup_of(letter);
      expect("name [" + c.args + "]", run_piped(exe, "mapcue " + c.args), c.status, c.out);
    }
  } else if (group == "stdout") {
    run_dead_sinks(exe);
  } else if (group == "nompr") {
    // The control: mpr.dll really cannot be loaded in this test's processes.
    expect("naive program cannot load mpr", run_piped(windows_path(argv[4]), "naive n:"),
           0xFFFFFFFF, "");
    for (const Case& c : {Case{"n:", 1, line(NOT_CONNECTED)}, Case{"m", 1, line(NOT_CONNECTED)},
                          Case{"c:", 1, line(NOT_CONNECTED)}, Case{"", 9, help}}) {
      expect("no mpr [" + c.args + "]", run_piped(exe, "mapcue " + c.args), c.status, c.out);
    }
  } else if (group == "relocated") {
    // Windows moves the image on every start; Wine never does, so a host moves it here.
    SetEnvironmentVariableA("MAPCUE_IMAGE", exe.c_str());
    for (const Case& c : {Case{"n:", 0, line(N_UNC)}, Case{"J", 0, line(J_UNC)},
                          Case{"c:", 1, line(NOT_CONNECTED)}, Case{"", 9, help}}) {
      expect("relocated [" + c.args + "]", run_piped(windows_path(argv[6]), "mapcue " + c.args),
             c.status, c.out);
    }
  } else {
    std::printf("unknown group %s\n", group.c_str());
    return 2;
  }
  std::printf("%s: %d passed, %d failed\n", group.c_str(), passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
