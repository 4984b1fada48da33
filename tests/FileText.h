// Whole files as text, for the tests and the fuzz targets alike (no test framework here).
#ifndef TRELVIN_FILETEXT_H
#define TRELVIN_FILETEXT_H

#include <fstream>
#include <sstream>
#include <string>

namespace filetext {

inline void WriteFile(const std::string &path, const std::string &content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace filetext

#endif
