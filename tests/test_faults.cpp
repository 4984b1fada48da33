// Faults from the world outside the tool, end to end on the binary: a full disk, read
// errors, renames the system refuses, inputs nobody may read, a motion file that is a
// symbolic link. Every case checks the message, the exit status, and that the recording
// is under its own name again, byte for byte, with nothing else left behind.
//
// Permissions mean nothing to root, so the permission cases run the tool as an
// unprivileged user (uid and gid 65534) when the tests run as root; they are skipped,
// with the reason, when that cannot be done.
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "TakeGen.h"
#include "TestSupport.h"

using testsupport::ReadFile;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::RunTrelvin;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

namespace fs = std::filesystem;

// Every entry under `root` with what it holds: "dir", "link:target", or the mode and the
// content of a regular file; a file nobody may read is made readable for a moment.
std::map<std::string, std::string> Listing(const std::string &root) {
  std::map<std::string, std::string> listing;
  for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
    std::string path = entry.path().lexically_relative(root).string();
    if (entry.is_symlink()) {
      listing[path] = "link:" + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      listing[path] = "dir";
    } else {
      fs::perms mode = entry.status().permissions();
      fs::permissions(entry.path(), mode | fs::perms::owner_read);
      listing[path] =
          std::to_string(static_cast<int>(mode)) + ":" + ReadFile(entry.path().string());
      fs::permissions(entry.path(), mode);
    }
  }
  return listing;
}

std::string Example(const char *name) {
  return ReadFile(std::string(TRELVIN_SOURCE_DIR) + "/examples/" + name);
}

// The example, copied into `dir`: old.bod, new.bod, walk.cap (naming walk.dat), walk.dat.
void CopyExample(const TempDir &dir) {
  for (const char *name : {"old.bod", "new.bod", "walk.cap", "walk.dat"})
    WriteFile(dir / name, Example(name));
}

RunResult RunExample(const TempDir &dir, const RunOptions &options = {}) {
  return RunTrelvin(dir.path, {"old.bod", "new.bod", "walk.cap"}, options);
}

// Words that run the tool as an unprivileged user: none when the tests already run as
// one. Empty with a reason in *why when root cannot switch to uid 65534 and run it.
bool UnprivilegedRun(RunOptions *options, std::string *why) {
  if (geteuid() != 0) return true;
  options->prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  TempDir probe;
  fs::permissions(probe.path, fs::perms::all);
  RunResult r = RunTrelvin(probe.path, {}, *options);
  if (r.status == 0 && r.out == "Usage: trelvin old.bod new.bod file.cap\n") return true;
  *why = "cannot run the tool as uid 65534 with setpriv (status " +
         std::to_string(r.status) + ", output '" + r.out + r.err + "')";
  return false;
}

TEST(Faults, FullDiskMidWritePutsTheRecordingBack) {
  // A 60-joint take of 3000 rows: some 3.8 MB of output, written in blocks of 1 MB.
  struct Case {
    const char *what;
    long limit;
  } cases[] = {
      {"the first block fails at once", 100},
      {"the disk fills exactly at the end of the first block", 1 << 20},
      {"the disk fills inside the second block", (1 << 20) + 4097},
      {"the disk fills inside the last block", (3 << 20) + 100000},
  };
  for (const Case &c : cases) {
    TempDir dir;
    ASSERT_TRUE(TakeWrite(dir.path, 3000, 5, false));
    const std::map<std::string, std::string> before = Listing(dir.path);
    RunOptions options;
    options.fileSizeLimit = c.limit;
    RunResult r = RunTrelvin(dir.path, {"old.bod", "new.bod", "take.cap"}, options);
    EXPECT_EQ(r.out, "File I/O:\tAn error occured while writing the file 'take.dat'.\n")
        << c.what;
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_TRUE(Listing(dir.path) == before)
        << c.what << ": the recording is back and nothing else is left";
  }
}

TEST(Faults, ReadErrorsEndTheRunAndLeaveTheFilesAsTheyWere) {
  // A directory opens as a file but fails to read.
  struct Case {
    const char *what;
    const char *directory;  // made a directory (with a file in it)
    std::string out;
  } cases[] = {
      {"the old body", "old.bod",
       "File I/O:\tAn error occured while reading line 1 of the file 'old'.\n"},
      {"the new body", "new.bod",
       "File I/O:\tAn error occured while reading line 1 of the file 'new'.\n"},
      {"the capture file", "walk.cap",
       "File I/O:\tAn error occured while reading line 1 of the file 'walk'.\n"},
      // The motion file is missing and an earlier moved-aside file is read instead: the
      // output this run created goes, the moved-aside file stays.
      {"an earlier moved-aside file", ",walk.dat",
       "File I/O:\tAn error occured while reading line 1 of the file ',walk'.\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    CopyExample(dir);
    if (std::string(c.directory) == ",walk.dat") fs::remove(dir / "walk.dat");
    fs::remove(dir / c.directory);
    fs::create_directory(dir / c.directory);
    WriteFile(dir / c.directory + "/inside", "kept\n");
    const std::map<std::string, std::string> before = Listing(dir.path);
    RunResult r = RunExample(dir);
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_TRUE(Listing(dir.path) == before) << c.what;
  }
}

TEST(Faults, PermissionsRefusedLeaveTheRecordingInPlace) {
  RunOptions options;
  std::string why;
  if (!UnprivilegedRun(&options, &why)) GTEST_SKIP() << why;

  struct Case {
    const char *what;
    std::string capture;  // the filename line's path
    void (*prepare)(const TempDir &);
    std::string out;
  } cases[] = {
      {"an unreadable old body", "walk.dat",
       [](const TempDir &dir) { fs::permissions(dir / "old.bod", fs::perms::none); },
       "File:\tCould not open the file 'old.bod'.\n"
       "Could not open the old body file 'old.bod'.\n"},
      {"an unreadable new body", "walk.dat",
       [](const TempDir &dir) { fs::permissions(dir / "new.bod", fs::perms::none); },
       "File:\tCould not open the file 'new.bod'.\n"
       "Could not open the new body file 'new.bod'.\n"},
      {"an unreadable capture file", "walk.dat",
       [](const TempDir &dir) { fs::permissions(dir / "walk.cap", fs::perms::none); },
       "File:\tCould not open the file 'walk.cap'.\n"
       "Could not open the capture file 'walk.cap'.\n"},
      // It moves aside, cannot be opened there, and is moved back.
      {"an unreadable motion file", "walk.dat",
       [](const TempDir &dir) { fs::permissions(dir / "walk.dat", fs::perms::none); },
       "File:\tCould not open the file ',walk.dat'.\n"
       "Could not open the old Move file ',walk.dat'.\n"},
      {"a motion file in a read-only directory", "ro/walk.dat",
       [](const TempDir &dir) {
         fs::create_directory(dir / "ro");
         fs::rename(dir / "walk.dat", dir / "ro/walk.dat");
         fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
       },
       "File:\tCould not move the file 'ro/walk.dat' to 'ro/,walk.dat'.\n"
       "Could not open the old Move file 'ro/,walk.dat'.\n"
       "Could not open the new Move file 'ro/walk.dat'.\n"},
      // Converting again from an earlier moved-aside file, into a directory where the
      // output cannot be created.
      {"an output in a read-only directory", "ro/walk.dat",
       [](const TempDir &dir) {
         fs::create_directory(dir / "ro");
         fs::rename(dir / "walk.dat", dir / "ro/,walk.dat");
         fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
       },
       "File:\tCould not open the file 'walk.dat'.\n"
       "Could not open the new Move file 'ro/walk.dat'.\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    fs::permissions(dir.path, fs::perms::all);
    CopyExample(dir);
    WriteFile(dir / "walk.cap",
              "bgninput\nfilename " + c.capture + "\nendinput\n" + Example("walk.cap"));
    c.prepare(dir);
    const std::map<std::string, std::string> before = Listing(dir.path);
    RunResult r = RunExample(dir, options);
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_TRUE(Listing(dir.path) == before) << c.what << ": modes included";
    std::error_code ignored;
    fs::permissions(dir / "ro", fs::perms::owner_all, ignored);
  }
}

TEST(Faults, SymbolicallyLinkedMotionFile) {
  // walk.dat links to the recording in another directory. The link is what moves aside;
  // the output is a new regular file, and the recording is never written to.
  const std::string recording = Example("walk.dat");
  TempDir plain;
  CopyExample(plain);
  ASSERT_EQ(RunExample(plain).status, 0);
  const std::string converted = ReadFile(plain / "walk.dat");

  struct Case {
    const char *what;
    std::string capture;  // appended to the example's capture file
    bool dangling;
    std::string out;
    int status;
  } cases[] = {
      {"a completed run", "", false, "", 0},
      {"a failed run moves the link back",
       "object joint body.r_shin\ncapture r_shin 37 2000000\n", false,
       "Could not allocate a row of 2000000 channels.\n", 1},
      {"a link to nothing moves back", "", true,
       "File:\tCould not open the file ',walk.dat'.\n"
       "Could not open the old Move file ',walk.dat'.\n",
       0},
  };
  for (const Case &c : cases) {
    TempDir dir;
    CopyExample(dir);
    WriteFile(dir / "walk.cap", Example("walk.cap") + c.capture);
    fs::create_directory(dir / "takes");
    const std::string target = dir / "takes/walk.dat";
    fs::remove(dir / "walk.dat");
    if (!c.dangling) WriteFile(target, recording);
    fs::create_symlink(target, dir / "walk.dat");
    const std::map<std::string, std::string> before = Listing(dir.path);
    RunResult r = RunExample(dir);
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.status, c.status) << c.what;
    if (c.status == 0 && c.out.empty()) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "walk.dat"))) << c.what;
      EXPECT_EQ(ReadFile(dir / "walk.dat"), converted) << c.what;
      EXPECT_EQ(fs::read_symlink(dir / ",walk.dat"), target) << c.what;
      EXPECT_EQ(ReadFile(target), recording) << c.what;
    } else {
      EXPECT_TRUE(Listing(dir.path) == before) << c.what;
    }
  }
}

}  // namespace
