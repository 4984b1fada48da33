// Faults end to end: inputs that cannot be read, moves the file system refuses, and a
// motion file that is a link. Each case checks the message, the exit status, and that
// the recording is back under its own name byte for byte. Permission cases run the tool
// as an unprivileged user, since root reads and writes whatever it likes.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestSupport.h"

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::RunTrelvin;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char kBody[] = "bgnsite\nname hip\nxfm 0 0 0 0 0 0\nendsite\n";
const char kCapture[] =
    "bgninput\nfilename walk.dat\nendinput\n"
    "object joint body.hip\ncapture hip 1 2\nbgntracks\nxpos\nzrot\nendtracks\n";
const char kMotion[] = "1.25 10\n-3 20\n";
const char kConverted[] = " 1.25\t 10.00\t\n-3.00\t 20.00\t\n";

// A scratch directory with both bodies, the capture file and the recording, open to
// every user.
void Fill(const TempDir &dir) {
  WriteFile(dir / "old.bod", kBody);
  WriteFile(dir / "new.bod", kBody);
  WriteFile(dir / "walk.cap", kCapture);
  WriteFile(dir / "walk.dat", kMotion);
  chmod(dir.path.c_str(), 0777);
}

const std::vector<std::string> kArgs = {"old.bod", "new.bod", "walk.cap"};

// Runs as the user nobody; false (with the reason printed) when that cannot be done.
bool CanRunUnprivileged(std::string *why) {
  if (geteuid() != 0) {
    *why = "not root: cannot switch to an unprivileged user";
    return false;
  }
  if (system("setpriv --reuid=65534 --regid=65534 --clear-groups true >/dev/null 2>&1") !=
      0) {
    *why = "setpriv cannot switch to uid 65534";
    return false;
  }
  return true;
}

RunOptions Unprivileged() {
  RunOptions options;
  options.prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  return options;
}

TEST(Faults, UnreadableInputsAsAnUnprivilegedUser) {
  std::string why;
  if (!CanRunUnprivileged(&why)) GTEST_SKIP() << why;
  struct Case {
    const char *what;
    const char *locked;  // made mode 000
    std::string expected;
  } cases[] = {
      {"old body", "old.bod",
       "File:\tCould not open the file 'old.bod'.\n"
       "Could not open the old body file 'old.bod'.\n"},
      {"new body", "new.bod",
       "File:\tCould not open the file 'new.bod'.\n"
       "Could not open the new body file 'new.bod'.\n"},
      {"capture file", "walk.cap",
       "File:\tCould not open the file 'walk.cap'.\n"
       "Could not open the capture file 'walk.cap'.\n"},
      {"motion file", "walk.dat",
       "File:\tCould not open the file ',walk.dat'.\n"
       "Could not open the old Move file ',walk.dat'.\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    Fill(dir);
    chmod((dir / c.locked).c_str(), 0);
    RunResult r = RunTrelvin(dir.path, kArgs, Unprivileged());
    EXPECT_EQ(r.out, c.expected) << c.what;
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), kMotion) << c.what;
    EXPECT_FALSE(Exists(dir / ",walk.dat")) << c.what;
    EXPECT_FALSE(Exists(dir / ".,walk.dat")) << c.what;
  }
}

TEST(Faults, ReadOnlyDirectoryRefusesTheMove) {
  std::string why;
  if (!CanRunUnprivileged(&why)) GTEST_SKIP() << why;
  TempDir dir;
  Fill(dir);
  std::filesystem::create_directory(dir / "takes");
  WriteFile(dir / "takes/walk.dat", kMotion);
  WriteFile(dir / "walk.cap",
            std::string(kCapture).replace(std::string(kCapture).find("walk.dat"), 8,
                                          "takes/walk.dat"));
  chmod((dir / "takes").c_str(), 0555);
  RunResult r = RunTrelvin(dir.path, kArgs, Unprivileged());
  EXPECT_EQ(r.out,
            "File:\tCould not move the file 'takes/walk.dat' to 'takes/,walk.dat'.\n"
            "Could not open the old Move file 'takes/,walk.dat'.\n"
            "Could not open the new Move file 'takes/walk.dat'.\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "takes/walk.dat"), kMotion);
}

TEST(Faults, ReadErrorInEachReaderLeavesTheRecordingAlone) {
  // A directory opens as a stream and fails at its first read.
  struct Case {
    const char *what;
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {"old body",
       {"dir.bod", "new.bod", "walk.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n"},
      {"new body",
       {"old.bod", "dir.bod", "walk.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n"},
      {"capture file",
       {"old.bod", "new.bod", "dir.cap"},
       "File I/O:\tAn error occured while reading line 1 of the file 'dir'.\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    Fill(dir);
    std::filesystem::create_directory(dir / "dir.bod");
    std::filesystem::create_directory(dir / "dir.cap");
    RunResult r = RunTrelvin(dir.path, c.args);
    EXPECT_EQ(r.out, c.expected) << c.what;
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), kMotion) << c.what;
    EXPECT_FALSE(Exists(dir / ",walk.dat")) << c.what;
  }
}

TEST(Faults, MotionFileThatIsALinkKeepsItsTarget) {
  TempDir dir;
  Fill(dir);
  std::filesystem::create_directory(dir / "archive");
  std::filesystem::rename(dir / "walk.dat", dir / "archive/take1.dat");
  ASSERT_EQ(symlink("archive/take1.dat", (dir / "walk.dat").c_str()), 0);
  RunResult r = RunTrelvin(dir.path, kArgs);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "archive/take1.dat"), kMotion);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / ",walk.dat"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "walk.dat"));
  EXPECT_EQ(ReadFile(dir / "walk.dat"), kConverted);
}

TEST(Faults, FullDiskOnALargerTakePutsTheRecordingBack) {
  TempDir dir;
  Fill(dir);
  std::string motion;
  for (int row = 0; row < 50000; row++) motion += "1.25 10\n";
  WriteFile(dir / "walk.dat", motion);
  RunOptions options;
  options.fileSizeLimit = 100000;  // well past the messages, well short of the output
  RunResult r = RunTrelvin(dir.path, kArgs, options);
  EXPECT_EQ(r.out, "File I/O:\tAn error occured while writing the file 'walk.dat'.\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(ReadFile(dir / "walk.dat") == motion);
  EXPECT_FALSE(Exists(dir / ",walk.dat"));
  EXPECT_FALSE(Exists(dir / ".,walk.dat"));
}

}  // namespace
