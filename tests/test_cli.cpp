// The command line end to end: the binary run on small fixtures, its exact standard
// output and exit status for every way the run can stop early.
#include <string>
#include <vector>

#include "TestSupport.h"

using testsupport::RunTrelvin;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char kBody[] = "bgnsite\nname hip\nxfm 0 0 0 0 0 0\nendsite\n";

struct CliCase {
  const char *what;
  std::vector<std::string> args;
  std::string expected;
  int status;
};

TEST(Cli, StopsEarlyWithExactMessages) {
  const CliCase cases[] = {
      {"no arguments", {}, "Usage: trelvin old.bod new.bod file.cap\n", 0},
      {"one argument", {"old.bod"}, "Usage: trelvin old.bod new.bod file.cap\n", 0},
      {"two arguments",
       {"old.bod", "new.bod"},
       "Usage: trelvin old.bod new.bod file.cap\n",
       0},
      {"missing old body",
       {"gone.bod", "missing.bod", "missing.cap"},
       "File:\tCould not open the file 'gone.bod'.\n"
       "Could not open the old body file 'gone.bod'.\n",
       0},
      {"missing new body",
       {"old.bod", "sub/gone.bod", "missing.cap"},
       "File:\tCould not open the file 'gone.bod'.\n"
       "Could not open the new body file 'sub/gone.bod'.\n",
       0},
      {"missing capture file",
       {"old.bod", "new.bod", "./gone.cap"},
       "File:\tCould not open the file 'gone.cap'.\n"
       "Could not open the capture file './gone.cap'.\n",
       0},
      {"capture file without a filename line",
       {"old.bod", "new.bod", "empty.cap"},
       "Could not open the old Move file ''.\nCould not open the new Move file ''.\n",
       0},
      {"extra arguments are ignored",
       {"old.bod", "new.bod", "empty.cap", "more", "args"},
       "Could not open the old Move file ''.\nCould not open the new Move file ''.\n",
       0},
      {"read error in the old body",
       {"dir.bod", "new.bod", "empty.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n",
       1},
      {"read error in the new body",
       {"old.bod", "dir.bod", "empty.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n",
       1},
      {"read error in the capture file",
       {"old.bod", "new.bod", "dir.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n",
       1},
  };
  for (const CliCase &c : cases) {
    TempDir dir;
    WriteFile(dir / "old.bod", kBody);
    WriteFile(dir / "new.bod", kBody);
    WriteFile(dir / "empty.cap", "");
    std::filesystem::create_directory(dir / "dir.bod");
    std::filesystem::create_directory(dir / "dir.cap");
    testsupport::RunResult r = RunTrelvin(dir.path, c.args);
    EXPECT_EQ(r.out, c.expected) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
    EXPECT_EQ(r.status, c.status) << c.what;
  }
}

}  // namespace
