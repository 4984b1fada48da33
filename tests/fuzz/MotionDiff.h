// Runs the streamed conversion and the plain stdio one (bench/PlainMotion.cpp, linked
// under the name PlainMotionConvert) on the same motion text and fails on any difference
// in the result or in a single byte of the output, and on output of the wrong shape.
#ifndef TRELVIN_MOTIONDIFF_H
#define TRELVIN_MOTIONDIFF_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BoFileIO.h"
#include "BoMotion.h"
#include "BoSkeleton.h"
#include "FuzzSupport.h"

BoMotionResult PlainMotionConvert(const BoHierarchy *hierarchy, int totalChannels,
                                  BbFileInfo *in, BbFileInfo *out);

namespace motiondiff {

typedef BoMotionResult (*Converter)(const BoHierarchy *, int, BbFileInfo *, BbFileInfo *);

struct Converted {
  BoMotionResult result;
  std::string output;
  int line;  // in->line afterwards
};

inline Converted Convert(Converter convert, const BoHierarchy *hierarchy,
                         int totalChannels, const std::string &motion) {
  static char empty[1];
  BbFileInfo in = {};
  BbFileInfo out = {};
  char name[] = "take";
  in.name = name;
  out.name = name;
  // A copy of exactly the text's size, so a read past its end is caught.
  char *text = static_cast<char *>(std::malloc(motion.size() + 1));
  std::memcpy(text, motion.data(), motion.size());
  in.stream = fmemopen(motion.empty() ? empty : text, motion.size(), "r");
  char *buffer = nullptr;
  size_t size = 0;
  out.stream = open_memstream(&buffer, &size);
  if (in.stream == nullptr || out.stream == nullptr) std::abort();
  Converted converted;
  converted.result = convert(hierarchy, totalChannels, &in, &out);
  converted.line = in.line;
  std::fclose(in.stream);
  std::fclose(out.stream);
  converted.output.assign(buffer, size);
  std::free(buffer);
  std::free(text);
  return converted;
}

inline size_t CountLines(const std::string &text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') lines++;
  return lines;
}

inline void Compare(const BoHierarchy *hierarchy, int totalChannels,
                    const std::string &motion, const uint8_t *data, size_t size) {
  Converted streamed = Convert(BoMotionConvert, hierarchy, totalChannels, motion);
  Converted plain = Convert(PlainMotionConvert, hierarchy, totalChannels, motion);
  if (streamed.result != plain.result) {
    fuzzsupport::Fail(
        "the conversions end differently: " + std::to_string(streamed.result) + " and " +
            std::to_string(plain.result),
        data, size);
  }
  if (streamed.output != plain.output) {
    size_t at = 0;
    while (at < streamed.output.size() && at < plain.output.size() &&
           streamed.output[at] == plain.output[at]) {
      at++;
    }
    fuzzsupport::Fail("the outputs differ from byte " + std::to_string(at) +
                          "\nstreamed: " + streamed.output.substr(at, 80) +
                          "\nplain:    " + plain.output.substr(at, 80),
                      data, size);
  }
  if (streamed.result != BoMotionDone) return;
  if (streamed.line != static_cast<int>(CountLines(motion)) ||
      CountLines(streamed.output) != CountLines(motion)) {
    fuzzsupport::Fail("one output line per input line", data, size);
  }
  // Every line: exactly max(totalChannels, 0) values, each followed by a tab.
  size_t expectedTabs = totalChannels > 0 ? static_cast<size_t>(totalChannels) : 0;
  size_t tabs = 0;
  for (char c : streamed.output) {
    if (c == '\t') tabs++;
    if (c != '\n') continue;
    if (tabs != expectedTabs) fuzzsupport::Fail("a line of the wrong width", data, size);
    tabs = 0;
  }
}

}  // namespace motiondiff

#endif
