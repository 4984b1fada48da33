// The streamed conversion against the plain stdio one (getline, sscanf "%f%n",
// fprintf "% 4.2f\t", the library's rotations): on the same take, byte for byte.
#include <algorithm>
#include <string>

#include "TakeGen.h"
#include "TestSupport.h"

using testsupport::ReadFile;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::RunTrelvin;
using testsupport::TempDir;

namespace {

RunResult RunPlain(const std::string &dir) {
  RunOptions options;
  options.binary = TRELVIN_PLAIN_BIN;
  return RunTrelvin(dir, {"old.bod", "new.bod", "take.cap"}, options);
}

TEST(Reference, StreamedOutputIsByteIdenticalToPlainStdio) {
  struct Case {
    const char *what;
    long rows;
    bool odd;
  } cases[] = {
      {"a realistic take", 3000, false},
      {"a take full of odd tokens, short rows and carriage returns", 3000, true},
  };
  for (const Case &c : cases) {
    TempDir tool, plain;
    ASSERT_TRUE(TakeWrite(tool.path, c.rows, 17, c.odd));
    ASSERT_TRUE(TakeWrite(plain.path, c.rows, 17, c.odd));
    RunResult a = RunTrelvin(tool.path, {"old.bod", "new.bod", "take.cap"});
    RunResult b = RunPlain(plain.path);
    EXPECT_EQ(a.status, 0) << c.what;
    EXPECT_EQ(a.out, b.out) << c.what;
    std::string got = ReadFile(tool / "take.dat"),
                expected = ReadFile(plain / "take.dat");
    ASSERT_EQ(got.size(), expected.size()) << c.what;
    EXPECT_TRUE(got == expected)
        << c.what << ": first difference at byte "
        << std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin();
  }
}

}  // namespace
