// The trelvin driver compiled into a fuzz target, so a whole run (readers, rename, opens,
// conversion, restore) happens in the fuzzer's process on real files.
//
// The driver keeps its joints, hierarchy and capture record until the process ends. To
// run it many times in one process, its calls that make and release file records and the
// hierarchy are routed through the Keep* functions below, which remember what is still
// alive; ReleaseRun gives it back after each run. Everything else the run allocates it
// must release itself, which the fuzzer's leak detection checks on every input.
#ifndef TRELVIN_TOOLINPROCESS_H
#define TRELVIN_TOOLINPROCESS_H

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BoFileIO.h"
#include "BoMotion.h"
#include "BoSkeleton.h"

namespace toolinprocess {

inline std::vector<BbFileInfo *> &LiveFiles() {
  static std::vector<BbFileInfo *> files;
  return files;
}

inline std::vector<BoHierarchy *> &LiveHierarchies() {
  static std::vector<BoHierarchy *> hierarchies;
  return hierarchies;
}

inline BbFileInfo *KeepCreateInfo(const char *pathname, const char *access) {
  BbFileInfo *file = BoFileCreateInfo(pathname, access);
  if (file != nullptr) LiveFiles().push_back(file);
  return file;
}

inline void KeepDeleteInfo(BbFileInfo *file) {
  std::vector<BbFileInfo *> &files = LiveFiles();
  files.erase(std::remove(files.begin(), files.end(), file), files.end());
  BoFileDeleteInfo(file);
}

inline BoHierarchy *KeepHierarchyCreate(void) {
  BoHierarchy *hierarchy = BoHierarchyCreate();
  if (hierarchy != nullptr) LiveHierarchies().push_back(hierarchy);
  return hierarchy;
}

}  // namespace toolinprocess

#define BoFileCreateInfo toolinprocess::KeepCreateInfo
#define BoFileDeleteInfo toolinprocess::KeepDeleteInfo
#define BoHierarchyCreate toolinprocess::KeepHierarchyCreate
#define main TrelvinMain
#include "trelvin.cpp"
#undef main
#undef BoHierarchyCreate
#undef BoFileDeleteInfo
#undef BoFileCreateInfo

namespace toolinprocess {

// Releases what the last run kept: its open file records and its joints. The driver
// gives joints no transforms, so a joint is its name and itself.
inline void ReleaseRun() {
  for (BbFileInfo *file : LiveFiles()) BoFileDeleteInfo(file);
  LiveFiles().clear();
  for (BoHierarchy *hierarchy : LiveHierarchies()) {
    for (int i = 0; i < hierarchy->njoints; i++) {
      std::free(hierarchy->joints[i]->name);
      std::free(hierarchy->joints[i]);
    }
    std::free(hierarchy->joints);
    std::free(hierarchy);
  }
  LiveHierarchies().clear();
}

// Runs `trelvin args...` in the current directory and returns its exit status. What it
// keeps stays alive until ReleaseRun.
inline int RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "trelvin");
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return TrelvinMain(static_cast<int>(args.size()), argv.data());
}

}  // namespace toolinprocess

#endif
