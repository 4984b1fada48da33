// getstring on fuzzed lines: the first byte is the delimiter, the rest the line. Every
// token of the line is taken in turn, as a caller walks a line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BoFileIO.h"

void BoDialogWarning(const char *, const char *) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  unsigned char delimiter = data[0];
  std::vector<char> line(data + 1, data + size);
  line.push_back('\0');
  size_t length = std::strlen(line.data());
  size_t position = 0;
  while (position < length) {
    int characters = 0;
    char *token = getstring(line.data() + position, delimiter, &characters);
    if (token == nullptr || characters <= 0) std::abort();
    std::free(token);
    position += static_cast<size_t>(characters);
  }
  return 0;
}
