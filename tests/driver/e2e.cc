// Starts the real mapcue.exe with exact raw command lines and checks its bytes and status,
// under Wine or on Windows. What each drive letter must give comes from the drive table.
// usage: e2e GROUP MAPCUE_EXE DRIVE_TABLE HELP_GOLDEN BATCH_EXAMPLE (Windows or host paths);
// naive_lookup.exe, write_probe.exe and planted_mpr.dll are taken from beside e2e.exe.
//
// The drive table, written by whatever made the drives: one line a letter, bytes in the ANSI
// code page, `#` comments, LETTER TAB ANSWER TAB REMOTE. ANSWER 0: mapcue prints REMOTE,
// status 0; 1: it prints ERROR_NOT_CONNECTED, status 1 (REMOTE says what the letter is); *: as
// 1, but under Wine one line of junk under 256 bytes with status 0 passes too (Wine's mpr
// answers success for names of 256 bytes or more); ~: the drive could not be made here, so its
// cases are skipped, REMOTE saying why. A letter not in the table is not connected.
#include <windows.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host_files.h"
#include "testing/golden_help.h"

namespace {

// How a run is held to its case.
enum class Want {
  exactly,                // `status` and `out`, byte for byte
  junk_or_not_connected,  // the table's `*` under Wine
  drive_optional,         // the table's `~`: skipped, `why` says why
};

struct Case {
  std::string args;
  DWORD status = 0;
  std::string out;
  Want want = Want::exactly;
  std::string why;
};

using Run = Case;  // what a run gave: `status` and `out` alone

std::string line(const std::string& text) { return text + "\r\n"; }

Case not_connected(const std::string& args = "") { return {args, 1, line("ERROR_NOT_CONNECTED")}; }

struct Setup {
  std::string exe, help, example, beside;  // beside: the folder of e2e.exe
  std::map<char, Case> drives;             // by lower-case letter
  bool wine = false;
} setup;

// Started with `args` (or the letter and a colon), mapcue must give what the table says.
Case on(char letter, const std::string& args = "") {
  const auto found = setup.drives.find(static_cast<char>(letter | 0x20));
  Case c = found == setup.drives.end() ? not_connected() : found->second;
  c.args = args.empty() ? std::string{letter, ':'} : args;
  return c;
}

Case help_for(std::string args) { return {std::move(args), 9, setup.help}; }

bool read_drive_table(const std::string& path) {
  std::istringstream text(read_file(path));
  for (std::string row; std::getline(text, row);) {
    if (!row.empty() && row.back() == '\r') row.pop_back();
    if (row.empty() || row[0] == '#') continue;
    const char letter = static_cast<char>(row[0] | 0x20);
    if (row.size() < 4 || letter < 'a' || letter > 'z' || row[1] != '\t' || row[3] != '\t')
      return false;
    const std::string remote = row.substr(4);
    const std::map<char, Case> answers = {
        {'0', {"", 0, line(remote)}},
        {'1', not_connected()},
        {'*', setup.wine ? Case{"", 0, "", Want::junk_or_not_connected} : not_connected()},
        {'~', {"", 0, "", Want::drive_optional, remote}}};
    if (!answers.contains(row[2])) return false;
    setup.drives[letter] = answers.at(row[2]);
  }
  return !setup.drives.empty();
}

// Starts `exe` with exactly `command_line` and stdout on `out`, in `dir` if given; waits a
// bounded time. With `out` null and `absent`, the child inherits our standard handles instead.
DWORD start(const std::string& exe, std::string command_line, HANDLE out, bool absent = false,
            const char* dir = nullptr) {
  STARTUPINFOA startup{.cb = sizeof startup,
                       .dwFlags = absent ? 0u : STARTF_USESTDHANDLES,
                       .hStdOutput = out,
                       .hStdError = GetStdHandle(STD_ERROR_HANDLE)};
  PROCESS_INFORMATION process{};
  // Wine refuses a start now and then (once in some thousand here): the program never ran, so
  // a second try, said aloud, judges nothing; a program that cannot start fails both.
  for (int tries = 0; !CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, dir, &startup, &process);) {
    std::printf("note: CreateProcess failed, error %lu\n", GetLastError());
    if (++tries == 2) return 0xDEAD0001;
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

SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};

HANDLE open(const std::string& path, DWORD access, DWORD how, DWORD share = FILE_SHARE_READ) {
  return CreateFileA(path.c_str(), access, share, &inherit, how, 0, nullptr);
}

Run run_to(const std::string& exe, const std::string& command_line, const char* dir = nullptr,
           const std::string& file = "") {
  HANDLE read_end = nullptr, write_end;
  if (file.empty()) {
    CreatePipe(&read_end, &write_end, &inherit, 1 << 16);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  } else {
    write_end = open(file, GENERIC_WRITE, CREATE_ALWAYS);
  }
  Run run{.status = start(exe, command_line, write_end, false, dir)};
  CloseHandle(write_end);
  if (!read_end) return {.status = run.status, .out = read_file(file)};
  char buffer[4096];
  for (DWORD got; ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0;)
    run.out.append(buffer, got);
  CloseHandle(read_end);
  return run;
}

int passed = 0, failed = 0, skipped = 0;
std::string group_skip;  // set when the whole group cannot run here

void fail(const std::string& what) {
  ++failed;
  std::printf("FAIL %s\n", what.c_str());
}

bool one_sane_line(const Run& got) {
  const std::size_t end = got.out.find("\r\n");
  if (end == std::string::npos || end + 2 != got.out.size() || end > 255) return false;
  if (got.status == 1) return got.out == not_connected().out;
  std::printf("note: Wine's mpr answered success with %zu junk bytes:", end);
  for (const unsigned char byte : got.out.substr(0, end)) std::printf(" %02X", byte);
  std::printf("\n");
  return got.status == 0 && got.out != not_connected().out;
}

void check(const std::string& name, const Case& want, auto run) {
  const bool optional = want.want == Want::drive_optional;
  if (optional && group_skip.empty())
    std::printf("skip %s: drive not made here: %s\n", name.c_str(), want.why.c_str());
  if (optional || !group_skip.empty()) return void(++skipped);
  const Run got = run();
  const bool ok = want.want == Want::junk_or_not_connected
                      ? one_sane_line(got)
                      : got.status == want.status && got.out == want.out;
  ++(ok ? passed : failed);
  if (ok) return;
  std::printf("FAIL %s: status %lu (want %lu), output [%s] (want [%s])\n", name.c_str(), got.status,
              want.status, got.out.c_str(), want.out.c_str());
}

void run_all(const std::string& label, const std::string& exe, const std::string& lead,
             const std::vector<Case>& cases, const char* dir = nullptr,
             const std::string& file = "") {
  for (const Case& c : cases) {
    const std::string shown = c.args.size() <= 40 ? c.args : c.args.substr(0, 40) + "...";
    check(label + " [" + shown + "] of " + std::to_string(c.args.size()), c,
          [&] { return run_to(exe, lead + c.args, dir, file); });
  }
}

std::string quoted(const std::string& exe) { return '"' + exe + "\" "; }

// The group's folder in %TEMP%, one for each file under test (its name and the group's: a space
// in every one), holding copies of `files`, as {from, name}. A copy that fails fails the group:
// its cases would run what an earlier run left there.
std::string temp_dir(const std::string& group,
                     const std::vector<std::pair<std::string, std::string>>& files = {}) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string dir = temp + setup.exe.substr(setup.exe.rfind('\\') + 1) + ' ' + group;
  CreateDirectoryA(dir.c_str(), nullptr);
  for (const auto& [from, to] : files) {
    if (!CopyFileA(from.c_str(), (dir + '\\' + to).c_str(), FALSE))
      fail("copy " + from + " to " + dir + ": error " + std::to_string(GetLastError()));
  }
  return dir;
}

void lookup_group() {
  run_all(
      "args", setup.exe, quoted(setup.exe),
      {on('n', "n"), on('n', "n:"), on('N', "N:"), on('n', "  n:  "), on('n', R"(n:\some\folder)"),
       on('n', "nx"), on('m', "m:"), on('m', "M"), on('c'), on('q'), on('h', "help")});
}

void help_group() {
  std::vector<Case> cases;
  for (const char* args : {"", "   ", "/?", "-h", "1", ":", "\"n:\"", "\tn:", "\xE4:"})
    cases.push_back(help_for(args));
  run_all("args", setup.exe, quoted(setup.exe), cases);
}

void raw_group() {
  run_all("raw", setup.exe, "",
          {
              help_for("mapcue.exe\tn:"),         // a tab stays in front of the argument
              on('n', '"' + setup.exe + "\"n:"),  // nothing needed after the closing quote
              on('n', "mapcue  n:"),
              on('m', "   mapcue n:"),  // leading spaces: the name itself is the argument
              help_for("\"unclosed n:"),
              help_for("mapcue"),
              help_for(""),
          });
}

void redirect_group() {
  run_all("to file", setup.exe, quoted(setup.exe), {on('n'), on('c'), help_for("")}, nullptr,
          temp_dir("redirect") + "\\out.txt");
}

void spaced_group() {
  const std::string copy = temp_dir("spaced", {{setup.exe, "mapcue.exe"}}) + "\\mapcue.exe";
  run_all("spaced", copy, '"' + copy + '"',
          {on('n', " n:"), on('n'), on('c', "  c:"), help_for("")});
}

void planted_group() {
  const std::string dir = temp_dir("planted", {{setup.exe, "mapcue.exe"},
                                               {setup.beside + "\\naive_lookup.exe", "naive.exe"},
                                               {setup.beside + "\\planted_mpr.dll", "MPR.dll"}});
  const std::string naive = dir + "\\naive.exe", planted_exe = dir + "\\mapcue.exe";
  // The control: a plain program next to the plant does load it, so the test can fail.
  run_all("naive program loads the plant", naive, "naive ", {{"c:", 0, R"(\\planted\dll)"}});
  run_all("planted", planted_exe, "mapcue ", {on('c'), on('n')});
}

void bytes_group() {
  // Every byte but the zero, first as the argument's first byte, then as the name's.
  for (int b = 1; b < 256; ++b) {
    const char c = static_cast<char>(b);
    // A letter after it shows whether the byte was taken for a separator.
    const std::string arg_line = quoted(setup.exe) + c + "n:";
    const Case arg = (b | 0x20) >= 'a' && (b | 0x20) <= 'z' ? on(c, arg_line)  // an ASCII letter
                     : c == ' '                             ? on('n', arg_line)
                                                            : help_for(arg_line);
    const std::string name_line = c + std::string("mapcue n:");
    const Case name = c == '"'   ? help_for(name_line)  // an unclosed quote takes the whole line
                      : c == ' ' ? on('m', name_line)   // the name itself becomes the argument
                                 : on('n', name_line);
    char label[16];
    std::snprintf(label, sizeof label, "byte 0x%02X ", b);
    check(std::string(label) + "arg", arg, [&] { return run_to(setup.exe, arg.args); });
    check(std::string(label) + "name", name, [&] { return run_to(setup.exe, name.args); });
  }
}

void lines_group() {
  // 32766 characters and the terminating zero: the longest line Windows passes on.
  const std::size_t most = 32766;
  const std::string path = '"' + setup.exe + '"';
  run_all("line", setup.exe, "",
          {
              on('n', path + " n:" + std::string(8192 - path.size() - 3, ' ')),
              on('n', path + std::string(8190 - path.size(), ' ') + "n:"),
              on('n', path + " n" + std::string(most - path.size() - 2, 'x')),
              help_for(path + std::string(most - path.size(), ' ')),
              on('n', std::string(most - 3, 'x') + " n:"),  // an unquoted name that long
              help_for('"' + std::string(most - 1, 'x')),   // a quote that never closes
              help_for('"' + setup.exe + " n:"),
              help_for("\""),
              help_for(std::string(8192, '"')),
              help_for(std::string(most, ' ')),  // nothing but spaces
              help_for(" "),
              help_for(path + "\tn:"),  // tabs never separate
              help_for("mapcue \tn:"),
              help_for("mapcue\t n:"),
              help_for(path + std::string(8000, '\t') + "n:"),
          });
}

void names_group() {
  std::vector<Case> cases;
  for (const auto& [letter, drive] : setup.drives)
    cases.insert(cases.end(), {on(letter), on(static_cast<char>(letter - 'a' + 'A'))});
  run_all("name", setup.exe, "mapcue ", cases);
}

// Runs against each dead sink; the status must be what it is with a working stdout, promptly,
// and no byte may reach the sink. write_probe.exe, started the same way, shows the sink fails.
void stdout_group() {
  // A first start, emulated or scanned as a new file, can outlast any limit: it is not timed.
  // The limit is ten of this file's warm starts here, 5 s at least.
  run_to(setup.beside + "\\write_probe.exe", "write_probe");
  const ULONGLONG first = GetTickCount64();
  run_to(setup.exe, quoted(setup.exe));
  const ULONGLONG warm = GetTickCount64() - first, limit = warm > 500 ? 10 * warm : 5000;
  std::printf("dead-sink limit: %llu ms (a warm start: %llu ms, floor 5000 ms)\n", limit, warm);
  const std::string file = temp_dir("stdout") + "\\read-only.txt";
  CloseHandle(open(file, GENERIC_WRITE, CREATE_ALWAYS));
  const HANDLE full = setup.wine ? open("Z:\\dev\\full", GENERIC_WRITE, OPEN_EXISTING,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE)
                                 : INVALID_HANDLE_VALUE;
  const HANDLE read_only = open(file, GENERIC_READ, OPEN_EXISTING);
  HANDLE reader, writer;
  CreatePipe(&reader, &writer, &inherit, 0);
  CloseHandle(reader);
  // Standard outputs that take no byte. "absent": the child inherits a null one from us.
  // "unopened": past the largest handle table (2^24 handles, 4 apart), so unlike a closed
  // handle's value it can never name what the child opens of its own.
  const std::pair<std::string, HANDLE> sinks[] = {
      {"unopened", reinterpret_cast<HANDLE>(0x7FFFFFF0)},
      {"null", nullptr},
      {"invalid", INVALID_HANDLE_VALUE},
      {"absent", nullptr},
      {"/dev/full", full},
      {"pipe, reader gone", writer},
      {"read-only file", read_only}};
  ULONGLONG slowest = 0;
  for (const auto& [name, handle] : sinks) {
    const auto launch = [&](const std::string& exe, const std::string& command_line) {
      const HANDLE ours = GetStdHandle(STD_OUTPUT_HANDLE);
      if (name == "absent") SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
      const ULONGLONG begin = GetTickCount64();
      Run run{.status = start(exe, command_line, handle, name == "absent")};
      const ULONGLONG took = GetTickCount64() - begin;
      SetStdHandle(STD_OUTPUT_HANDLE, ours);
      slowest = took > slowest ? took : slowest;
      if (took > limit) run.status = 0xDEAD0003;  // not prompt
      run.out = read_file(file);  // of the sinks, only the read-only file keeps what reached it
      return run;
    };
    if (!setup.wine && name == "/dev/full") {
      group_skip = "Wine only: the host's full device, Z:\\dev\\full, is Wine's";
    } else {  // the control: a write there does fail, and no byte of it arrives
      const Run got = launch(setup.beside + "\\write_probe.exe", "write_probe");
      std::printf("%s: a write fails with error %lu\n", name.c_str(), got.status);
      if (!setup.wine && got.status == 0 && got.out.empty())
        group_skip = "Windows gave write_probe.exe a working handle there: its write gave status 0";
      else if (got.status == 0 || got.status >= 0xDEAD0000 || !got.out.empty())
        fail("control: write_probe.exe on " + name + " gives status " + std::to_string(got.status) +
             ", output [" + got.out + "]");
    }
    if (!group_skip.empty()) std::printf("%s: skipped, %s\n", name.c_str(), group_skip.c_str());
    for (Case c : {on('n'), on('j'), on('c'), help_for("")}) {
      c.out.clear();
      check(name + " [" + c.args + "]", c,
            [&] { return launch(setup.exe, quoted(setup.exe) + c.args); });
    }
    group_skip.clear();
  }
  std::printf("slowest run: %llu ms\n", slowest);
}

void nompr_group() {
  if (!setup.wine) group_skip = "needs Wine, whose DLL overrides make mpr.dll unloadable";
  // The control: mpr.dll really cannot be loaded in this test's processes.
  run_all("naive program cannot load mpr", setup.beside + "\\naive_lookup.exe", "naive ",
          {{"n:", 0xFFFFFFFF, ""}});
  run_all("no mpr", setup.exe, "mapcue ",
          {not_connected("n:"), not_connected("m"), not_connected("c:"), help_for("")});
}

// The README's batch example, through the real cmd.exe, with mapcue.exe in its folder.
void batch_group() {
  const std::string dir =
      temp_dir("batch", {{setup.exe, "mapcue.exe"}, {setup.example, "share-path.cmd"}});
  char cmd[MAX_PATH];
  GetSystemDirectoryA(cmd, MAX_PATH);
  const auto through_batch = [](char letter) {
    Case c = on(letter);
    c.out = c.status == 0 ? c.args + " is " + c.out : line(c.args + " is not a network drive");
    return c;
  };
  run_all("batch", std::string(cmd) + "\\cmd.exe", "cmd /c share-path.cmd ",
          {through_batch('n'), through_batch('c'), {"", 9, line("usage: share-path DRIVE_LETTER")}},
          dir.c_str());
}

// The groups by name; tests/driver/groups.txt lists which run, for ctest and for Windows.
constexpr std::pair<const char*, void (*)()> GROUPS[] = {
    {"lookup", lookup_group},     {"help", help_group},     {"raw", raw_group},
    {"redirect", redirect_group}, {"spaced", spaced_group}, {"planted", planted_group},
    {"bytes", bytes_group},       {"lines", lines_group},   {"names", names_group},
    {"stdout", stdout_group},     {"nompr", nompr_group},   {"batch", batch_group},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fputs("usage: e2e GROUP MAPCUE_EXE DRIVE_TABLE HELP_GOLDEN BATCH_EXAMPLE\n", stderr);
    return 2;
  }
  setup.exe = windows_path(argv[2]);
  setup.help = golden_help(windows_path(argv[4])).text;
  setup.example = windows_path(argv[5]);
  char self[MAX_PATH];
  const std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
  setup.beside = path.substr(0, path.rfind('\\'));
  setup.wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  if (setup.help.empty()) {
    fail("golden help screen missing or damaged");
  } else if (!read_drive_table(windows_path(argv[3]))) {
    fail("drive table " + std::string(argv[3]) + " missing or malformed");
  }
  if (failed > 0) return 1;
  for (const auto& [name, run] : GROUPS) {
    if (argv[1] != std::string(name)) continue;
    run();
    if (!group_skip.empty()) std::printf("%s: skipped: %s\n", name, group_skip.c_str());
    const std::string skips = skipped > 0 ? ", " + std::to_string(skipped) + " skipped" : "";
    std::printf("%s: %d passed, %d failed%s\n", name, passed, failed, skips.c_str());
    return failed == 0 && passed + skipped > 0 ? 0 : 1;
  }
  std::printf("unknown group %s\n", argv[1]);
  return 2;
}
