// File records: path splitting, suffix types, the search over registered directories,
// line reading and its three outcomes.
#include <sys/stat.h>

#include <string>

#include "BoFileIO.h"
#include "TestSupport.h"

using testsupport::StdoutCapture;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct PathCase {
  std::string relative;   // path under the scratch directory, "" for the directory itself
  std::string file;       // file created there
  std::string directory;  // expected directory, relative to the scratch directory
  std::string name;
  int type;
};

TEST(BoFileCreateInfo, SplitsPathAndClassifiesSuffix) {
  const PathCase cases[] = {
      {"walk.bod", "walk.bod", "", "walk", 12},
      {"data/moves/walk.bod", "data/moves/walk.bod", "data/moves", "walk", 12},
      {"takes.new/walk", "takes.new/walk", "takes.new", "walk", 0},
      {"chair.old.obj", "chair.old.obj", "", "chair.old", 7},
      {"shot.TSV", "shot.TSV", "", "shot", 20},
      {"walk.BOD", "walk.BOD", "", "walk", 0},
      {"a.tsv", "a.tsv", "", "a", 0},
      {"scene.iv", "scene.iv", "", "scene", 8},
      {"take.MCD", "take.MCD", "", "take", 21},
      {"x.pck", "x.pck", "", "x", 24},
      {"noext", "noext", "", "noext", 0},
  };
  for (const PathCase &c : cases) {
    TempDir dir;
    std::filesystem::create_directories(
        std::filesystem::path(dir / c.file).parent_path());
    WriteFile(dir / c.file, "x\n");
    std::string path = dir / c.relative;
    BbFileInfo *info = BoFileCreateInfo(path.c_str(), "r");
    ASSERT_NE(info, nullptr) << c.relative;
    std::string expectedDir = c.directory.empty() ? dir.path : dir / c.directory;
    EXPECT_EQ(info->directory, expectedDir) << c.relative;
    EXPECT_STREQ(info->name, c.name.c_str()) << c.relative;
    EXPECT_EQ(info->type, c.type) << c.relative;
    EXPECT_EQ(info->line, 0);
    EXPECT_STREQ(info->inputline, "");
    BoFileDeleteInfo(info);
  }
}

TEST(BoFileCreateInfo, BareNameOpensInCurrentDirectory) {
  TempDir dir;
  WriteFile(dir / "walk.bod", "x\n");
  std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  BbFileInfo *info = BoFileCreateInfo("walk.bod", "r");
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->directory, ".");
  EXPECT_STREQ(info->name, "walk");
  BoFileDeleteInfo(info);
}

TEST(BoFileCreateInfo, RootFileHasEmptyDirectory) {
  // /tmp exists everywhere; a file directly under / cannot be made portably, so check
  // the split on a path whose last '/' is the first character through a failure.
  StdoutCapture capture;
  capture.Start();
  BbFileInfo *info = BoFileCreateInfo("/no-such-trelvin-file.bod", "r");
  std::string out = capture.Stop();
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(out, "File:\tCould not open the file 'no-such-trelvin-file.bod'.\n");
  info = BoFileCreateInfo("/", "r");  // the root directory itself, as "" + "/" + ""
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->directory, "");
  EXPECT_STREQ(info->name, "");
  BoFileDeleteInfo(info);
}

TEST(BoFileCreateInfo, MissingFileWarnsWithFileNameOnly) {
  TempDir dir;
  std::string path = dir / "moves/walk.mov";
  StdoutCapture capture;
  capture.Start();
  BbFileInfo *info = BoFileCreateInfo(path.c_str(), "r");
  std::string out = capture.Stop();
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(out, "File:\tCould not open the file 'walk.mov'.\n");
}

TEST(BoFileCreateInfo, LongPathsAreOpenedWhole) {
  TempDir dir;
  std::string sub = dir.path;
  for (int i = 0; i < 6; i++) sub += "/" + std::string(60, 'a' + i);
  std::filesystem::create_directories(sub);
  std::string fileName = std::string(200, 'f') + ".bod";
  WriteFile(sub + "/" + fileName, "x\n");
  std::string path = sub + "/" + fileName;
  ASSERT_GT(path.size(), 255u);
  BbFileInfo *info = BoFileCreateInfo(path.c_str(), "r");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->directory, sub);
  EXPECT_EQ(info->name, std::string(200, 'f'));
  BoFileDeleteInfo(info);

  std::string missing = sub + "/" + std::string(300, 'm') + ".cap";
  StdoutCapture capture;
  capture.Start();
  EXPECT_EQ(BoFileCreateInfo(missing.c_str(), "r"), nullptr);
  EXPECT_EQ(capture.Stop(),
            "File:\tCould not open the file '" + std::string(300, 'm') + ".cap'.\n");
}

// Registers directories by hand, the way the directory registry fills the lists, and
// restores the lists afterwards.
struct SearchLists {
  char **savedObj = objdirs, **savedMtl = mtldirs;
  int savedNObj = nobjdirs, savedNMtl = nmtldirs;
  std::vector<char *> obj, mtl;
  void Use(std::vector<std::string> &objPaths, std::vector<std::string> &mtlPaths) {
    for (std::string &p : objPaths) obj.push_back(p.data());
    for (std::string &p : mtlPaths) mtl.push_back(p.data());
    objdirs = obj.data();
    nobjdirs = static_cast<int>(obj.size());
    mtldirs = mtl.data();
    nmtldirs = static_cast<int>(mtl.size());
  }
  ~SearchLists() {
    objdirs = savedObj;
    nobjdirs = savedNObj;
    mtldirs = savedMtl;
    nmtldirs = savedNMtl;
  }
};

TEST(BoFileCreateInfo, SearchesRegisteredDirectoriesLastFirst) {
  TempDir dir;
  for (const char *d : {"A", "B", "M"}) std::filesystem::create_directory(dir / d);
  WriteFile(dir / "A/chair.obj", "in A\n");
  WriteFile(dir / "B/chair.obj", "in B\n");
  WriteFile(dir / "A/lamp.obj", "in A\n");
  WriteFile(dir / "M/wood.mtl", "in M\n");
  WriteFile(dir / "A/walk.mov", "in A\n");
  std::vector<std::string> obj = {dir / "A", dir / "B"}, mtl = {dir / "M"};
  SearchLists lists;
  lists.Use(obj, mtl);

  struct Case {
    std::string path;
    std::string directory;  // "" when the open must fail
  } cases[] = {
      {dir / "elsewhere/chair.obj", dir / "B"},  // B was registered last
      {dir / "elsewhere/lamp.obj", dir / "A"},
      {dir / "A/chair.obj", dir / "A"},  // found where the path says first
      {dir / "x/wood.mtl", dir / "M"},
      {dir / "x/chair.mtl", ""},  // materials are not looked for in objdirs
      {dir / "x/walk.mov", ""},   // other types are not searched for
  };
  for (const Case &c : cases) {
    StdoutCapture capture;
    capture.Start();
    BbFileInfo *info = BoFileCreateInfo(c.path.c_str(), "r");
    std::string out = capture.Stop();
    if (c.directory.empty()) {
      EXPECT_EQ(info, nullptr) << c.path;
      EXPECT_NE(out.find("Could not open the file '"), std::string::npos) << c.path;
      EXPECT_EQ(out.find(dir.path), std::string::npos) << "warning names no directory";
      continue;
    }
    ASSERT_NE(info, nullptr) << c.path;
    EXPECT_EQ(out, "");
    EXPECT_EQ(info->directory, c.directory) << c.path;
    BoFileDeleteInfo(info);
  }
}

std::vector<std::string> ReadAll(BbFileInfo *info, std::vector<int> *lines) {
  std::vector<std::string> got;
  while (!std::feof(info->stream)) {
    BoFileReadResult r = BoFileReadLine(info);
    EXPECT_NE(r, BoFileError);
    if (r == BoFileError) break;
    got.push_back(info->inputline);
    lines->push_back(info->line);
  }
  return got;
}

TEST(BoFileReadLine, DeliversLinesAndCountsThem) {
  struct Case {
    std::string content;
    std::vector<std::string> pieces;  // what each pass of the reading loop sees
    std::vector<int> lines;
  } cases[] = {
      {"a\nb\n", {"a\n", "b\n", ""}, {1, 2, 2}},
      {"a\nb", {"a\n", "b"}, {1, 2}},  // no newline at the end: no extra pass
      {"", {""}, {0}},
      {"\n", {"\n", ""}, {1, 1}},
      {"x\r\n", {"x\r\n", ""}, {1, 1}},
      {std::string(3000, 'q') + "\n",
       {std::string(2047, 'q'), std::string(953, 'q') + "\n", ""},
       {1, 2, 2}},
  };
  for (const Case &c : cases) {
    TempDir dir;
    WriteFile(dir / "f.cap", c.content);
    BbFileInfo *info = BoFileCreateInfo((dir / "f.cap").c_str(), "r");
    ASSERT_NE(info, nullptr);
    std::vector<int> lines;
    EXPECT_EQ(ReadAll(info, &lines), c.pieces);
    EXPECT_EQ(lines, c.lines);
    BoFileDeleteInfo(info);
  }
}

TEST(BoFileReadLine, EndOfFileRepeats) {
  TempDir dir;
  WriteFile(dir / "f.bod", "only");
  BbFileInfo *info = BoFileCreateInfo((dir / "f.bod").c_str(), "r");
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(BoFileReadLine(info), BoFileLine);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(BoFileReadLine(info), BoFileEnd);
    EXPECT_STREQ(info->inputline, "");
    EXPECT_EQ(info->line, 1);
  }
  BoFileDeleteInfo(info);
}

TEST(BoFileReadLine, ReadErrorWarnsWithNextLineNumber) {
  // A directory opens as a stream in glibc, but every read of it fails.
  TempDir dir;
  std::filesystem::create_directory(dir / "walk.bod");
  BbFileInfo *info = BoFileCreateInfo((dir / "walk.bod").c_str(), "r");
  ASSERT_NE(info, nullptr);
  info->line = 3;
  StdoutCapture capture;
  capture.Start();
  BoFileReadResult r = BoFileReadLine(info);
  std::string out = capture.Stop();
  EXPECT_EQ(r, BoFileError);
  EXPECT_EQ(out,
            "File I/O:\tAn error occured while reading line 4 of the file 'walk'.\n");
  EXPECT_EQ(info->line, 3);
  BoFileDeleteInfo(info);
}

TEST(BoFileDeleteInfo, AcceptsNull) {
  BoFileDeleteInfo(nullptr);
}

}  // namespace
