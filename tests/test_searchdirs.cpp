// The search-directory registry on real directories: what is registered and in which
// order, the warnings, and the order in which BoFileCreateInfo then searches.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BoFileIO.h"
#include "TestSupport.h"

using testsupport::StdoutCapture;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Entries(char **dirs, int n) {
  return std::vector<std::string>(dirs, dirs + n);
}

// The names of `dir` that are in `keep`, in the order the system lists them.
std::vector<std::string> ListingOrder(const std::string &dir,
                                      const std::set<std::string> &keep) {
  std::vector<std::string> names;
  DIR *listing = opendir(dir.c_str());
  if (listing == nullptr) return names;
  while (struct dirent *entry = readdir(listing)) {
    if (keep.count(entry->d_name) != 0) names.push_back(entry->d_name);
  }
  closedir(listing);
  return names;
}

// `dir`, then `dir` + "/" + each name: what registering dir should give.
std::vector<std::string> DirAndSubdirs(const std::string &dir,
                                       const std::vector<std::string> &names) {
  std::vector<std::string> paths = {dir};
  for (const std::string &name : names) paths.push_back(dir + "/" + name);
  return paths;
}

std::string SetDirPrinting(const std::string &dirName, int type) {
  StdoutCapture capture;
  capture.Start();
  BoFileSetDir(dirName.c_str(), type);
  return capture.Stop();
}

// The search lists are process-wide and only grow: every test starts from empty lists,
// and the lists of before the test are put back afterwards.
class SearchDirs : public ::testing::Test {
 protected:
  void SetUp() override {
    savedObj = objdirs;
    savedNObj = nobjdirs;
    savedMtl = mtldirs;
    savedNMtl = nmtldirs;
    Empty();
  }
  void TearDown() override {
    Release();
    objdirs = savedObj;
    nobjdirs = savedNObj;
    mtldirs = savedMtl;
    nmtldirs = savedNMtl;
  }
  // Frees what the registry allocated during the test and empties the lists.
  void Release() {
    for (int i = 0; i < nobjdirs; i++) std::free(objdirs[i]);
    for (int i = 0; i < nmtldirs; i++) std::free(mtldirs[i]);
    std::free(objdirs);
    std::free(mtldirs);
    Empty();
  }
  void Empty() {
    objdirs = nullptr;
    nobjdirs = 0;
    mtldirs = nullptr;
    nmtldirs = 0;
  }

  char **savedObj = nullptr, **savedMtl = nullptr;
  int savedNObj = 0, savedNMtl = 0;
  TempDir dir;
};

TEST_F(SearchDirs, RegistersDirectoryThenDirectSubdirectories) {
  // models holds two subdirectories (one with a subdirectory of its own), a hidden
  // directory, a regular file, a link to a directory outside, a link to the file and a
  // dangling link.
  std::string models = dir / "models";
  fs::create_directories(models + "/chairs/deep");
  fs::create_directories(models + "/tables");
  fs::create_directories(models + "/.hidden");
  fs::create_directories(dir / "elsewhere");
  WriteFile(models + "/readme", "text\n");
  fs::create_directory_symlink(dir / "elsewhere", models + "/linkdir");
  fs::create_symlink(models + "/readme", models + "/linkfile");
  fs::create_symlink(dir / "missing", models + "/dangling");
  std::vector<std::string> expected =
      DirAndSubdirs(models, ListingOrder(models, {"chairs", "tables", "linkdir"}));
  ASSERT_EQ(expected.size(), 4u);

  struct Case {
    int type;
    bool objects, materials;  // which list is to be filled
  } cases[] = {
      {7, true, false}, {13, false, true}, {12, false, false}, {0, false, false}};
  for (const Case &c : cases) {
    Release();
    EXPECT_EQ(SetDirPrinting(models, c.type), "") << "type " << c.type;
    std::vector<std::string> none;
    EXPECT_EQ(Entries(objdirs, nobjdirs), c.objects ? expected : none)
        << "type " << c.type;
    EXPECT_EQ(Entries(mtldirs, nmtldirs), c.materials ? expected : none)
        << "type " << c.type;
  }
}

TEST_F(SearchDirs, LaterDirectoriesAndSubdirectoriesAreSearchedFirst) {
  fs::create_directories(dir / "A/s1");
  fs::create_directories(dir / "A/s2");
  fs::create_directories(dir / "B/t1");
  struct Case {
    int type;
    std::string file;
    char ***list;
    int *count;
  } cases[] = {{7, "chair.obj", &objdirs, &nobjdirs},
               {13, "wood.mtl", &mtldirs, &nmtldirs}};
  for (const Case &c : cases) {
    Release();
    BoFileSetDir((dir / "A").c_str(), c.type);
    BoFileSetDir((dir / "B").c_str(), c.type);
    std::vector<std::string> registered =
        DirAndSubdirs(dir / "A", ListingOrder(dir / "A", {"s1", "s2"}));
    for (const std::string &p : DirAndSubdirs(dir / "B", {"t1"})) registered.push_back(p);
    ASSERT_EQ(Entries(*c.list, *c.count), registered) << c.file;

    // With the file in every registered directory, each open finds it in the next one
    // of the search order; the file is then removed there.
    for (const std::string &d : registered) WriteFile(d + "/" + c.file, d + "\n");
    std::vector<std::string> order(registered.rbegin(), registered.rend());
    std::string path = dir / ("nowhere/" + c.file);
    for (const std::string &d : order) {
      BbFileInfo *info = BoFileCreateInfo(path.c_str(), "r");
      ASSERT_NE(info, nullptr) << c.file << " expected in " << d;
      EXPECT_EQ(info->directory, d) << c.file;
      BoFileDeleteInfo(info);
      fs::remove(d + "/" + c.file);
    }
    StdoutCapture capture;
    capture.Start();
    EXPECT_EQ(BoFileCreateInfo(path.c_str(), "r"), nullptr);
    EXPECT_EQ(capture.Stop(), "File:\tCould not open the file '" + c.file + "'.\n");
  }
}

TEST_F(SearchDirs, TrailingSlashIsKeptAndDoubledInSubdirectories) {
  fs::create_directories(dir / "A/sub");
  WriteFile(dir / "A/sub/chair.obj", "x\n");
  std::string given = dir / "A/";
  EXPECT_EQ(SetDirPrinting(given, 7), "");
  std::vector<std::string> expected = {given, given + "/sub"};
  EXPECT_EQ(Entries(objdirs, nobjdirs), expected);

  BbFileInfo *info = BoFileCreateInfo((dir / "elsewhere/chair.obj").c_str(), "r");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->directory, dir / "A//sub");
  BoFileDeleteInfo(info);
}

TEST_F(SearchDirs, SameDirectoryTwiceIsListedTwice) {
  fs::create_directories(dir / "A/sub");
  BoFileSetDir((dir / "A").c_str(), 13);
  BoFileSetDir((dir / "A").c_str(), 13);
  std::vector<std::string> expected = {dir / "A", dir / "A/sub", dir / "A",
                                       dir / "A/sub"};
  EXPECT_EQ(Entries(mtldirs, nmtldirs), expected);
  EXPECT_EQ(nobjdirs, 0);
}

TEST_F(SearchDirs, LinkToDirectoryIsRegisteredUnderItsOwnPath) {
  fs::create_directories(dir / "real/sub");
  fs::create_directory_symlink(dir / "real", dir / "link");
  EXPECT_EQ(SetDirPrinting(dir / "link", 7), "");
  std::vector<std::string> expected = {dir / "link", dir / "link/sub"};
  EXPECT_EQ(Entries(objdirs, nobjdirs), expected);
}

TEST_F(SearchDirs, FailuresWarnAndLeaveTheListsAlone) {
  fs::create_directories(dir / "good");
  WriteFile(dir / "file.obj", "x\n");
  fs::create_symlink(dir / "missing", dir / "dangling");
  BoFileSetDir((dir / "good").c_str(), 7);
  BoFileSetDir((dir / "good").c_str(), 13);
  char **obj = objdirs, **mtl = mtldirs;
  std::vector<std::string> objBefore = Entries(objdirs, nobjdirs);
  std::vector<std::string> mtlBefore = Entries(mtldirs, nmtldirs);

  struct Case {
    std::string path;
    std::string warning;
  } cases[] = {
      {dir / "missing",
       "File:\tCould not find the directory '" + dir / "missing" + "'\n"},
      {dir / "dangling",
       "File:\tCould not find the directory '" + dir / "dangling" + "'\n"},
      {dir / "file.obj/sub",
       "File:\tCould not find the directory '" + dir / "file.obj/sub" + "'\n"},
      {dir / "file.obj",
       "File:\tThe path '" + dir / "file.obj" + "' is not a directory\n"},
  };
  for (const Case &c : cases) {
    for (int type : {7, 13, 12}) {
      EXPECT_EQ(SetDirPrinting(c.path, type), c.warning) << "type " << type;
      EXPECT_EQ(objdirs, obj);
      EXPECT_EQ(mtldirs, mtl);
      EXPECT_EQ(Entries(objdirs, nobjdirs), objBefore) << c.path << " type " << type;
      EXPECT_EQ(Entries(mtldirs, nmtldirs), mtlBefore) << c.path << " type " << type;
    }
  }
}

TEST_F(SearchDirs, LongPathsAreRegisteredWhole) {
  std::string deep = dir.path;
  for (int i = 0; i < 5; i++) deep += "/" + std::string(60, 'a' + i);
  std::string subName(200, 's');
  fs::create_directories(deep + "/" + subName);
  WriteFile(deep + "/" + subName + "/lamp.obj", "x\n");
  ASSERT_GT(deep.size(), 255u);

  EXPECT_EQ(SetDirPrinting(deep, 7), "");
  std::vector<std::string> expected = {deep, deep + "/" + subName};
  EXPECT_EQ(Entries(objdirs, nobjdirs), expected);
  BbFileInfo *info = BoFileCreateInfo("nowhere/lamp.obj", "r");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->directory, deep + "/" + subName);
  BoFileDeleteInfo(info);

  std::string missing = deep + "/" + std::string(250, 'm');
  EXPECT_EQ(SetDirPrinting(missing, 7),
            "File:\tCould not find the directory '" + missing + "'\n");
  std::string file = deep + "/" + subName + "/lamp.obj";
  EXPECT_EQ(SetDirPrinting(file, 7),
            "File:\tThe path '" + file + "' is not a directory\n");
  EXPECT_EQ(nobjdirs, 2);
}

// A directory that can be searched but not listed is registered, silently, without its
// subdirectories. Root lists every directory, so the check runs in a child process that
// gives up root first.
TEST_F(SearchDirs, UnlistableDirectoryIsRegisteredAlone) {
  std::string locked = dir / "locked";
  fs::create_directories(locked + "/sub");
  ASSERT_EQ(chmod(dir.path.c_str(), 0711), 0);
  ASSERT_EQ(chmod(locked.c_str(), 0311), 0);
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    if (DIR *listing = opendir(locked.c_str())) {
      closedir(listing);
      _exit(11);
    }
    std::string out = SetDirPrinting(locked, 7);
    if (!out.empty()) _exit(1);
    if (nobjdirs != 1 || locked != objdirs[0]) _exit(2);
    _exit(0);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  waitpid(pid, &status, 0);
  chmod(locked.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  int code = WEXITSTATUS(status);
  if (code == 10 || code == 11) GTEST_SKIP() << "cannot make a directory unlistable here";
  EXPECT_EQ(code, 0) << "1: a warning was printed, 2: lists other than {locked}";
}

}  // namespace
