// Reads an executable's version record the way the operating system does, prints it, and
// compares the print with the expected text, whose "mapcue.exe" stands for the file's own name.
// usage: verinfo EXE EXPECTED_FILE (host paths)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_files.h"

namespace {

std::string report(const std::string& exe) {
  std::vector<char> data(GetFileVersionInfoSizeA(exe.c_str(), nullptr));
  if (data.empty() ||
      !GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
    return "no version record\n";
  }
  char line[512];
  std::string out;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size)) {
    std::snprintf(line, sizeof line,
                  "signature %08lX\nfile version %u.%u.%u.%u\nproduct version %u.%u.%u.%u\n"
                  "flags mask %lX\nflags %lX\nos %lX\ntype %lX\nsubtype %lX\ndate %lX %lX\n",
                  fixed->dwSignature, HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
                  LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                  LOWORD(fixed->dwProductVersionLS), fixed->dwFileFlagsMask, fixed->dwFileFlags,
                  fixed->dwFileOS, fixed->dwFileType, fixed->dwFileSubtype, fixed->dwFileDateMS,
                  fixed->dwFileDateLS);
    out += line;
  }
  for (const std::string key :
       {"Comments", "CompanyName", "FileDescription", "FileVersion", "InternalName",
        "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"}) {
    char* value = nullptr;
    const std::string path = "\\StringFileInfo\\040904E4\\" + key;
    const bool found =
        VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size);
    out += key + (found ? " = \"" + std::string(value) + '"' : " missing") + '\n';
  }
  WORD* translation = nullptr;
  if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &size) &&
      size == 4) {
    std::snprintf(line, sizeof line, "translation %04X %04X\n", translation[0], translation[1]);
    out += line;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string exe = windows_path(argv[1]), name = exe.substr(exe.rfind('\\') + 1);
  const std::string got = report(exe);
  std::string want = read_file(windows_path(argv[2]));
  if (const auto at = want.find("\"mapcue.exe\""); at != std::string::npos)
    want.replace(at + 1, 10, name);
  std::fputs(got.c_str(), stdout);
  if (got == want) return 0;
  std::printf("-- does not match the expected record:\n%s", want.c_str());
  return 1;
}
