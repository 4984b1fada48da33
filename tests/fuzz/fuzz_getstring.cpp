// Fuzz target: the token reader. The first input byte is the delimiter, the rest the
// text (up to its first NUL), held in a buffer of exactly its size. The text is cut into
// tokens call by call, as a caller walks a line, and every call is compared with a
// model of the documented rule: the same token, the same count, the same text after it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BoFileIO.h"
#include "FuzzSupport.h"

void BoDialogWarning(const char *, const char *) {}

namespace {

struct Cut {
  std::string token;
  int count;
};

// Leading delimiters and blanks, the token up to a delimiter, newline or the end, the
// character that ended it (made NUL, unless it was the end), and after a delimiter or
// newline the delimiters and blanks that follow.
Cut ModelCut(std::string *text, size_t at, unsigned char delimiter) {
  auto separator = [&](size_t i) {
    return i < text->size() && (*text)[i] != '\0' &&
           (static_cast<unsigned char>((*text)[i]) == delimiter || (*text)[i] == ' ');
  };
  size_t i = at;
  while (separator(i)) i++;
  size_t start = i;
  while (i < text->size() && (*text)[i] != '\0' && (*text)[i] != '\n' &&
         static_cast<unsigned char>((*text)[i]) != delimiter) {
    i++;
  }
  Cut cut{text->substr(start, i - start), 0};
  bool atEnd = i >= text->size() || (*text)[i] == '\0';
  size_t end = i + 1;
  if (!atEnd) {
    (*text)[i] = '\0';
    while (separator(end)) end++;
  }
  cut.count = static_cast<int>(end - at);
  return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  unsigned char delimiter = data[0];
  std::string model(reinterpret_cast<const char *>(data + 1), size - 1);
  model = model.substr(0, model.find('\0'));
  const size_t length = model.size();
  char *line = static_cast<char *>(std::malloc(length + 1));
  std::memcpy(line, model.c_str(), length + 1);

  size_t at = 0;
  while (at <= length) {
    int count = -1;
    char *token = getstring(line + at, delimiter, &count);
    Cut expected = ModelCut(&model, at, delimiter);
    if (token == nullptr || expected.token != token || expected.count != count ||
        std::memcmp(line, model.data(), length) != 0) {
      fuzzsupport::Fail("getstring at offset " + std::to_string(at) + " gave '" +
                            (token ? token : "(null)") + "' and " +
                            std::to_string(count) + ", expected '" + expected.token +
                            "' and " + std::to_string(expected.count),
                        data, size);
    }
    std::free(token);
    at += static_cast<size_t>(count);
  }
  if (at != length + 1) {
    // The walk ends one past the end of the text: the terminator counts as one.
    fuzzsupport::Fail("the counts overshoot the text", data, size);
  }
  std::free(line);
  return 0;
}
