#pragma once

// What the Windows-side test programs share: host paths from ctest, whole files read back.
#include <fstream>
#include <iterator>
#include <string>

// Wine maps the host's root to Z:.
inline std::string windows_path(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path.front() == '\\' ? "Z:" + path : path;
}

inline std::string read_file(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}
