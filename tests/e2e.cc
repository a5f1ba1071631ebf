// Starts the real mapcue.exe with exact raw command lines and checks its bytes and status.
// usage: e2e GROUP MAPCUE_EXE HELP_GOLDEN NAIVE_LOOKUP_EXE PLANTED_MPR_DLL (host paths)
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string M_UNC = R"(\\fileserver\public)";
const std::string N_UNC = R"(\\fileserver\public\docs)";
const std::string NOT_CONNECTED = "ERROR_NOT_CONNECTED";
std::string help;  // the golden help screen

struct Run {
  DWORD status = 0;
  std::string out;
};

// Wine maps the host's root to Z:.
std::string windows_path(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path.front() == '\\' ? "Z:" + path : path;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Starts `exe` with exactly `command_line` and stdout on `out`; waits a bounded time.
DWORD start(const std::string& exe, std::string command_line, HANDLE out) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
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
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) run.out.append(buffer, got);
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

void expect(const std::string& name, const Run& got, DWORD status, const std::string& out) {
  if (got.status == status && got.out == out) {
    ++passed;
    return;
  }
  ++failed;
  std::printf("FAIL %s: status %lu (want %lu), output [%s] (want [%s])\n", name.c_str(),
              got.status, status, got.out.c_str(), out.c_str());
}

std::string line(const std::string& text) { return text + "\r\n"; }

struct Case {
  std::string args;  // what follows `"mapcue.exe" ` on the raw command line
  DWORD status;
  std::string out;
};

std::vector<Case> lookup_cases() {
  return {{"n", 0, line(N_UNC)},         {"n:", 0, line(N_UNC)},
          {"N:", 0, line(N_UNC)},        {"  n:  ", 0, line(N_UNC)},
          {R"(n:\some\folder)", 0, line(N_UNC)}, {"nx", 0, line(N_UNC)},
          {"m:", 0, line(M_UNC)},        {"M", 0, line(M_UNC)},
          {"c:", 1, line(NOT_CONNECTED)}, {"q:", 1, line(NOT_CONNECTED)},
          {"help", 1, line(NOT_CONNECTED)}};
}

std::vector<Case> help_cases() {
  std::vector<Case> cases;
  for (const char* args : {"", "   ", "/?", "-h", "1", ":", "\"n:\"", "\tn:", "\xE4:"})
    cases.push_back({args, 9, help});
  return cases;
}

void run_cases(const std::string& exe, const std::vector<Case>& cases) {
  for (const Case& c : cases) expect("args [" + c.args + "]", run_piped(exe, '"' + exe + "\" " + c.args), c.status, c.out);
}

std::string make_temp_dir(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string dir = temp + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fputs("usage: e2e GROUP MAPCUE_EXE HELP_GOLDEN NAIVE_LOOKUP_EXE PLANTED_MPR_DLL\n", stderr);
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
        {"mapcue.exe\tn:", 9, help},         // a tab stays in front of the argument
        {'"' + exe + "\"n:", 0, line(N_UNC)},  // nothing needed after the closing quote
        {"mapcue  n:", 0, line(N_UNC)},
        {"   mapcue n:", 0, line(M_UNC)},  // leading spaces: the name itself is the argument
        {"\"unclosed n:", 9, help},
        {"mapcue", 9, help},
        {"", 9, help},
    };
    for (const Case& c : raw) expect("raw [" + c.args + "]", run_piped(exe, c.args), c.status, c.out);
  } else if (group == "redirect") {
    const std::string file = make_temp_dir("mapcue-redirect") + "\\out.txt";
    for (const Case& c : {Case{"n:", 0, line(N_UNC)}, Case{"c:", 1, line(NOT_CONNECTED)},
                          Case{"", 9, help}}) {
      expect("to file [" + c.args + "]", run_to_file(exe, '"' + exe + "\" " + c.args, file),
             c.status, c.out);
    }
  } else if (group == "spaced") {
    const std::string copy = make_temp_dir("mapcue dir with space") + "\\mapcue.exe";
    CopyFileA(exe.c_str(), copy.c_str(), FALSE);
    for (const Case& c : {Case{" n:", 0, line(N_UNC)}, Case{"n:", 0, line(N_UNC)},
                          Case{"  c:", 1, line(NOT_CONNECTED)}, Case{"", 9, help}}) {
      expect("spaced [" + c.args + "]", run_piped(copy, '"' + copy + '"' + c.args), c.status, c.out);
    }
  } else if (group == "planted") {
    const std::string dir = make_temp_dir("mapcue-planted");
    for (const auto& [from, to] : {std::pair{exe, "\\mapcue.exe"},
                                   std::pair{windows_path(argv[4]), "\\naive.exe"},
                                   std::pair{windows_path(argv[5]), "\\MPR.dll"}}) {
      CopyFileA(from.c_str(), (dir + to).c_str(), FALSE);
    }
    const std::string naive = dir + "\\naive.exe", planted_exe = dir + "\\mapcue.exe";
    // The control: a plain program next to the plant does load it, so the test can fail.
    expect("naive program loads the plant", run_piped(naive, "naive c:"), 0, R"(\\planted\dll)");
    expect("planted c:", run_piped(planted_exe, "mapcue c:"), 1, line(NOT_CONNECTED));
    expect("planted n:", run_piped(planted_exe, "mapcue n:"), 0, line(N_UNC));
  } else {
    std::printf("unknown group %s\n", group.c_str());
    return 2;
  }
  std::printf("%s: %d passed, %d failed\n", group.c_str(), passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
