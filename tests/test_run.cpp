// The retargeting run end to end: the binary converts small takes written inline, and
// every file-level rule is checked on the files it leaves behind.
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

std::string Site(const std::string &name, const std::string &xfm) {
  std::string site = "bgnsite\nname " + name + "\n";
  if (!xfm.empty()) site += "xfm " + xfm + "\n";
  return site + "endsite\n";
}

// One joint's capture entry: the object line, the capture line and the tracks block.
std::string Entry(const std::string &joint, int first, int last,
                  const std::vector<std::string> &tracks) {
  std::string entry = "object joint body." + joint + "\ncapture " + joint + " " +
                      std::to_string(first) + " " + std::to_string(last) +
                      "\nbgntracks\n";
  for (const std::string &t : tracks) entry += t + "\n";
  return entry + "endtracks\n";
}

std::string Input(const std::string &path) {
  return "bgninput\nfilename " + path + "\nendinput\n";
}

struct Take {
  std::string oldBody;
  std::string newBody;
  std::string capture;
  std::string motionPath = "walk.dat";
  std::string motion;
};

RunResult Convert(const TempDir &dir, const Take &take, const RunOptions &options = {}) {
  WriteFile(dir / "old.bod", take.oldBody);
  WriteFile(dir / "new.bod", take.newBody);
  WriteFile(dir / "walk.cap", take.capture);
  if (!take.motionPath.empty()) {
    std::filesystem::create_directories(
        std::filesystem::path(dir / take.motionPath).parent_path());
    WriteFile(dir / take.motionPath, take.motion);
  }
  return RunTrelvin(dir.path, {"old.bod", "new.bod", "walk.cap"}, options);
}

// A joint that only the old body names keeps the identity correction.
Take IdentityTake(const std::vector<std::string> &tracks, const std::string &motion) {
  Take take;
  take.oldBody = Site("hip", "0 0 0 0 0 0");
  take.newBody = "";
  take.capture =
      Input("walk.dat") + Entry("hip", 1, static_cast<int>(tracks.size()), tracks);
  take.motion = motion;
  return take;
}

struct RowCase {
  const char *what;
  std::vector<std::string> tracks;
  std::string motion;
  std::string expected;
};

TEST(Run, ConvertsRowsExactly) {
  const RowCase cases[] = {
      {"Z-Y-X channels keep their angles",
       {"zrot", "yrot", "xrot"},
       "10 20 30\n",
       " 10.00\t 20.00\t 30.00\t\n"},
      {"X-Y-Z channels are re-expressed as Z-Y-X angles",
       {"xrot", "yrot", "zrot"},
       "10 20 30\n",
       " 19.01\t 11.82\t 33.75\t\n"},
      {"a lone xrot of 270", {"xrot"}, "270\n", "-90.00\t\n"},
      {"zero angles give a negative zero about y",
       {"zrot", "yrot", "xrot"},
       "0 0 0\n",
       " 0.00\t-0.00\t 0.00\t\n"},
      {"positions pass through, rounded",
       {"xpos", "ypos", "zpos"},
       "7 -0.5 123.456\n",
       " 7.00\t-0.50\t 123.46\t\n"},
      {"extra numbers are dropped", {"xpos"}, "1 2 3\n", " 1.00\t\n"},
      {"a short row is completed with zeros",
       {"xpos", "ypos", "zpos"},
       "5\n",
       " 5.00\t 0.00\t 0.00\t\n"},
      {"a blank line is a row of zeros",
       {"xpos", "ypos"},
       "\n1 2\n",
       " 0.00\t 0.00\t\n 1.00\t 2.00\t\n"},
      {"a word stops the row",
       {"xpos", "ypos", "zpos"},
       "1 x 3\n",
       " 1.00\t 0.00\t 0.00\t\n"},
      {"no newline after the last row", {"xpos"}, "1\n2", " 1.00\t\n 2.00\t\n"},
      {"an empty motion file", {"xpos"}, "", ""},
      {"Windows line endings",
       {"xpos", "ypos"},
       "1 2\r\n3 4\r\n",
       " 1.00\t 2.00\t\n 3.00\t 4.00\t\n"},
      {"odd numbers read as scanf reads them",
       {"xpos", "ypos", "zpos"},
       "1e2 +.5 -inf\n",
       " 100.00\t 0.50\t-inf\t\n"},
      {"two channels of one axis get the same angle",
       {"zrot", "zrot"},
       "10 20\n",
       " 30.00\t 30.00\t\n"},
  };
  for (const RowCase &c : cases) {
    TempDir dir;
    RunResult r = Convert(dir, IdentityTake(c.tracks, c.motion));
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), c.expected) << c.what;
    EXPECT_EQ(ReadFile(dir / ",walk.dat"), c.motion)
        << c.what << ": the original is kept";
  }
}

TEST(Run, CorrectsWithTheJointsRestRotations) {
  // Old rest rotation 30 about x, new rest rotation zero: the correction is a rotation
  // of 30 about x, composed under the frame's channels.
  Take take;
  take.oldBody = Site("knee", "0 0 0 30 0 0");
  take.newBody = Site("knee", "0 0 0 0 0 0");
  take.capture = Input("walk.dat") + Entry("knee", 1, 3, {"zrot", "yrot", "xrot"});
  take.motion = "0 0 0\n0 0 -30\n";
  TempDir dir;
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "walk.dat"),
            " 0.00\t-0.00\t 30.00\t\n 0.00\t-0.00\t 0.00\t\n");
}

TEST(Run, ChannelLayoutStaysInsideTheRow) {
  struct Case {
    const char *what;
    std::string capture;
    std::string motion;
    std::string expected;
  } cases[] = {
      {"the last applied capture line sets the row width",
       Entry("a", 4, 6, {"xrot", "yrot", "zrot"}) +
           Entry("b", 1, 3, {"xpos", "ypos", "zpos"}),
       "1 2 3 4 5 6\n", " 1.00\t 2.00\t 3.00\t\n"},
      {"a joint reaching past the row composes nothing there",
       Entry("a", 1, 2, {"xpos", "ypos"}) + Entry("b", 2, 4, {"zrot", "zrot", "zrot"}) +
           Entry("c", 1, 2, {"xpos", "ypos"}),
       "1 2\n", " 1.00\t 2.00\t\n"},
      {"negative and huge channel numbers",
       Entry("a", -5, 2147483647, {"zrot", "zrot", "zrot"}) +
           "object joint body.b\ncapture b 99999999999999999999 -99999999999999999\n" +
           Entry("c", 1, 1, {"xpos"}),
       "7\n", " 7.00\t\n"},
      {"a 13th channel line takes no slot; channels past slot 12 pass through",
       Entry("a", 1, 14,
             {"xpos", "xpos", "xpos", "xpos", "xpos", "xpos", "xpos", "xpos", "xpos",
              "xpos", "xpos", "xpos", "zrot"}),
       "1 2 3 4 5 6 7 8 9 10 11 12 13 14\n",
       " 1.00\t 2.00\t 3.00\t 4.00\t 5.00\t 6.00\t 7.00\t 8.00\t 9.00\t 10.00\t 11.00\t "
       "12.00\t"
       " 13.00\t 14.00\t\n"},
      {"slots no channel line set are no rotations", Entry("a", 1, 3, {"zrot"}),
       "10 20 30\n", " 10.00\t 20.00\t 30.00\t\n"},
      {"a last channel below the first gives no channels",
       Entry("a", 1, 1, {"xpos"}) + Entry("b", 2, 1, {"xrot"}) +
           Entry("c", 2, 2, {"xpos"}),
       "5 270\n", " 5.00\t 270.00\t\n"},
      {"no capture line: every line is just a newline", "", "1 2\n3\n", "\n\n"},
      // The body readers leave the last site's joint current; the capture file starts
      // without one.
      {"a capture line and tracks before any object line are ignored",
       "capture c 1 3\nbgntracks\nzrot\nzrot\nzrot\nendtracks\n" +
           Entry("a", 1, 2, {"xpos", "ypos"}),
       "10 20\n", " 10.00\t 20.00\t\n"},
  };
  for (const Case &c : cases) {
    Take take;
    take.oldBody = Site("a", "") + Site("b", "") + Site("c", "");
    take.capture = Input("walk.dat") + c.capture;
    take.motion = c.motion;
    TempDir dir;
    RunResult r = Convert(dir, take);
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), c.expected) << c.what;
  }
}

TEST(Run, LongRowsAreOneRow) {
  // 600 channels of "-123.4567 " make a row of 6000 characters.
  std::vector<std::string> tracks(12, "xpos");
  std::string capture = Input("walk.dat");
  const char *names[] = {"a", "b", "c", "d", "e"};
  std::string oldBody;
  for (int j = 0; j < 50; j++) {
    std::string name = std::string(names[j % 5]) + std::to_string(j);
    oldBody += Site(name, "");
    capture += Entry(name, 12 * j + 1, 12 * j + 12, tracks);
  }
  std::string row, expected;
  for (int k = 0; k < 600; k++) {
    row += "-123.4567 ";
    expected += "-123.46\t";
  }
  Take take;
  take.oldBody = oldBody;
  take.capture = capture;
  take.motion = row + "\n" + row + "\n";
  TempDir dir;
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "walk.dat"), expected + "\n" + expected + "\n");
}

TEST(Run, MovesTheMotionFileAsideInItsDirectory) {
  struct Case {
    std::string path, aside;
  } cases[] = {
      {"walk.dat", ",walk.dat"},
      {"moves/walk.dat", "moves/,walk.dat"},
      {"a/b/walk.dat", "a/b/,walk.dat"},
      {"w;touch${IFS}pwned$(touch${IFS}pwned2)`touch${IFS}pwned3`.dat",
       ",w;touch${IFS}pwned$(touch${IFS}pwned2)`touch${IFS}pwned3`.dat"},
      {std::string(120, 'd') + "/" + std::string(200, 'w') + ".dat",
       std::string(120, 'd') + "/," + std::string(200, 'w') + ".dat"},
  };
  for (const Case &c : cases) {
    Take take = IdentityTake({"xpos"}, "1\n");
    take.motionPath = c.path;
    take.capture = Input(c.path) + Entry("hip", 1, 1, {"xpos"});
    TempDir dir;
    RunResult r = Convert(dir, take);
    EXPECT_EQ(r.out, "") << c.path;
    EXPECT_EQ(r.status, 0) << c.path;
    EXPECT_EQ(ReadFile(dir / c.path), " 1.00\t\n") << c.path;
    EXPECT_EQ(ReadFile(dir / c.aside), "1\n") << c.path;
    for (const char *p : {"pwned", "pwned2", "pwned3"}) EXPECT_FALSE(Exists(dir / p));
  }
}

TEST(Run, OnlyTheFirstFilenameLineWithAPathCounts) {
  Take take = IdentityTake({"xpos"}, "1\n");
  take.capture =
      "bgninput\nfilename\nfilename walk.dat\nfilename walk.dat\n"
      "filename other.dat\nendinput\n" +
      Entry("hip", 1, 1, {"xpos"});
  TempDir dir;
  WriteFile(dir / "other.dat", "9\n");
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir / "walk.dat"), " 1.00\t\n");
  EXPECT_EQ(ReadFile(dir / ",walk.dat"), "1\n");
  EXPECT_EQ(ReadFile(dir / "other.dat"), "9\n");
  EXPECT_FALSE(Exists(dir / ",other.dat"));
}

TEST(Run, ConvertsAgainFromAnEarlierMovedAsideFile) {
  Take take = IdentityTake({"xpos"}, "");
  take.motionPath = "";
  TempDir dir;
  WriteFile(dir / ",walk.dat", "4\n");
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "walk.dat"), " 4.00\t\n");
  EXPECT_EQ(ReadFile(dir / ",walk.dat"), "4\n");
}

TEST(Run, RefusesAMoveThatWouldLoseTheRecording) {
  const std::string warning =
      "File:\tCould not move the file 'walk.dat' to ',walk.dat'.\n"
      "Could not open the old Move file ',walk.dat'.\n"
      "Could not open the new Move file 'walk.dat'.\n";
  struct Case {
    const char *what;
    void (*prepare)(const TempDir &);
  } cases[] = {
      {"the moved-aside path is a non-empty directory",
       [](const TempDir &dir) {
         std::filesystem::create_directory(dir / ",walk.dat");
         WriteFile(dir / ",walk.dat/keep", "k");
       }},
      {"a hard link",
       [](const TempDir &dir) {
         ASSERT_EQ(link((dir / "walk.dat").c_str(), (dir / ",walk.dat").c_str()), 0);
       }},
      {"the moved-aside path links to the motion file",
       [](const TempDir &dir) {
         ASSERT_EQ(symlink("walk.dat", (dir / ",walk.dat").c_str()), 0);
       }},
      {"the motion file links to the moved-aside path",
       [](const TempDir &dir) {
         std::filesystem::rename(dir / "walk.dat", dir / ",walk.dat");
         ASSERT_EQ(symlink(",walk.dat", (dir / "walk.dat").c_str()), 0);
       }},
  };
  for (const Case &c : cases) {
    TempDir dir;
    Take take = IdentityTake({"xpos"}, "1.5 recorded\n");
    WriteFile(dir / "walk.dat", take.motion);
    take.motionPath = "";
    c.prepare(dir);
    RunResult r = Convert(dir, take);
    EXPECT_EQ(r.out, warning) << c.what;
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), "1.5 recorded\n") << c.what;
  }
}

RunOptions FileSizeLimit(long bytes) {
  RunOptions options;
  options.fileSizeLimit = bytes;
  return options;
}

TEST(Run, FailedRunsPutTheRecordingBack) {
  std::string motion;
  for (int row = 0; row < 2000; row++) motion += "1 2\n";
  struct Case {
    const char *what;
    std::string capture;
    RunOptions options;
    std::string expected;
    int status;
  } cases[] = {
      {"a row too wide to allocate",
       Input("walk.dat") + Entry("hip", 1, 2, {"xpos"}) +
           "object joint body.hip\ncapture hip 1 2000000\n",
       {},
       "Could not allocate a row of 2000000 channels.\n",
       1},
      {"a full disk", Input("walk.dat") + Entry("hip", 1, 2, {"xpos", "ypos"}),
       FileSizeLimit(4096),
       "File I/O:\tAn error occured while writing the file 'walk.dat'.\n", 1},
  };
  for (const Case &c : cases) {
    Take take = IdentityTake({"xpos"}, motion);
    take.capture = c.capture;
    TempDir dir;
    RunResult r = Convert(dir, take, c.options);
    EXPECT_EQ(r.out, c.expected) << c.what;
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), motion) << c.what;
    EXPECT_FALSE(Exists(dir / ",walk.dat")) << c.what;
  }
}

TEST(Run, AKilledRunLeavesTheRecordingForTheRerun) {
  std::string motion;
  for (int row = 0; row < 2000; row++) motion += "1 2\n";
  Take take = IdentityTake({"xpos", "ypos"}, motion);
  TempDir dir;
  RunOptions killed = FileSizeLimit(4096);
  killed.killAtFileSizeLimit = true;
  RunResult r = Convert(dir, take, killed);
  EXPECT_EQ(r.status, -1) << "the run should have been killed";
  EXPECT_FALSE(Exists(dir / "walk.dat"));
  EXPECT_EQ(ReadFile(dir / ",walk.dat"), motion);

  // The natural rerun converts again from the moved-aside recording.
  r = RunTrelvin(dir.path, {"old.bod", "new.bod", "walk.cap"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  std::string expected;
  for (int row = 0; row < 2000; row++) expected += " 1.00\t 2.00\t\n";
  EXPECT_EQ(ReadFile(dir / "walk.dat"), expected);
  EXPECT_EQ(ReadFile(dir / ",walk.dat"), motion);
  EXPECT_FALSE(Exists(dir / ".,walk.dat"));
}

TEST(Run, ALeftoverPartialLinkCannotRedirectTheOutput) {
  Take take = IdentityTake({"xpos"}, "1\n");
  TempDir dir;
  WriteFile(dir / "keep.dat", "precious\n");
  ASSERT_EQ(symlink("keep.dat", (dir / ".,walk.dat").c_str()), 0);
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "walk.dat"), " 1.00\t\n");
  EXPECT_EQ(ReadFile(dir / "keep.dat"), "precious\n");
}

TEST(Run, ReadErrorInTheMotionFileRestoresIt) {
  // A directory as the motion file: it moves aside and opens, but cannot be read.
  Take take = IdentityTake({"xpos"}, "");
  take.motionPath = "";
  TempDir dir;
  std::filesystem::create_directory(dir / "walk.dat");
  WriteFile(dir / "walk.dat/inside", "x");
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.out,
            "File I/O:\tAn error occured while reading line 1 of the file ',walk'.\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "walk.dat"));
  EXPECT_EQ(ReadFile(dir / "walk.dat/inside"), "x");
  EXPECT_FALSE(Exists(dir / ",walk.dat"));
}

TEST(Run, MissingMotionFileLeavesNothingBehind) {
  Take take = IdentityTake({"xpos"}, "");
  take.motionPath = "";
  TempDir dir;
  RunResult r = Convert(dir, take);
  EXPECT_EQ(r.out,
            "File:\tCould not open the file ',walk.dat'.\n"
            "Could not open the old Move file ',walk.dat'.\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(Exists(dir / "walk.dat"));
}

TEST(Run, FilesCutOffInsideABlockEnd) {
  struct Case {
    const char *what;
    std::string oldBody, capture;
    std::string expected;
  } cases[] = {
      {"a body ending inside a site", "bgnsite\nname hip\nxfm 0 0 0 0 0 0",
       Input("walk.dat") + Entry("hip", 1, 1, {"xpos"}), " 1.00\t\n"},
      {"a capture file ending inside the input block", Site("hip", ""),
       "bgninput\nfilename walk.dat\n", "\n"},
      {"a capture file ending inside a tracks block", Site("hip", ""),
       Input("walk.dat") + "object joint body.hip\ncapture hip 1 1\nbgntracks\nxpos",
       " 1.00\t\n"},
  };
  for (const Case &c : cases) {
    Take take = IdentityTake({"xpos"}, "1\n");
    take.oldBody = c.oldBody;
    take.capture = c.capture;
    TempDir dir;
    RunResult r = Convert(dir, take);
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(ReadFile(dir / "walk.dat"), c.expected) << c.what;
  }
}

}  // namespace
