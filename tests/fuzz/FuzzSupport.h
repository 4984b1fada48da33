// Shared pieces of the fuzz targets: a scratch directory per process, a fresh run
// directory per input, a snapshot of a directory tree, standard output caught in memory,
// and the report that ends the process when a property fails.
//
// The targets change the current directory only while an input runs and go back before
// returning to the fuzzer, which writes its corpus and artifacts by relative paths.
#ifndef TRELVIN_FUZZSUPPORT_H
#define TRELVIN_FUZZSUPPORT_H

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "../FileText.h"

namespace fuzzsupport {

inline std::string &BaseDir() {
  static std::string base;
  return base;
}

inline void RemoveBaseDir() {
  std::error_code ignored;
  if (!BaseDir().empty()) std::filesystem::remove_all(BaseDir(), ignored);
}

// Ends the process with a message and the input, so the fuzzer records a finding.
[[noreturn]] inline void Fail(const std::string &what, const uint8_t *data, size_t size) {
  std::fprintf(stderr, "\nPROPERTY FAILED: %s\ninput (%zu bytes):\n", what.c_str(), size);
  std::fwrite(data, 1, size, stderr);
  std::fprintf(stderr, "\n");
  std::abort();
}

// A private directory under /tmp for this process, removed at exit. Also bounds the size
// of every file the process writes (writes beyond it fail with EFBIG instead of raising
// SIGXFSZ), so a fuzzed row width cannot fill the disk.
inline void MakeBaseDir(long fileSizeLimit) {
  char pattern[] = "/dev/shm/trelvin-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  BaseDir() = pattern;
  std::atexit(RemoveBaseDir);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(fileSizeLimit);
  setrlimit(RLIMIT_FSIZE, &limit);
}

using filetext::ReadFile;
using filetext::WriteFile;

// The run directory BaseDir()/run, emptied and made the current directory. Leave it with
// LeaveRunDir before returning to the fuzzer.
struct RunDir {
  int home = -1;  // the fuzzer's current directory
};

inline RunDir EnterFreshRunDir() {
  RunDir dir;
  dir.home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string run = BaseDir() + "/run";
  std::error_code ignored;
  std::filesystem::permissions(run, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(run, ignored);
  if (mkdir(run.c_str(), 0700) != 0 || chdir(run.c_str()) != 0) {
    std::perror("run directory");
    std::exit(2);
  }
  return dir;
}

inline void LeaveRunDir(RunDir *dir) {
  if (fchdir(dir->home) != 0) std::abort();
  close(dir->home);
}

// Every entry under `root` (relative paths): "d" for a directory, "l:target" for a
// symbolic link, "f:content" for a regular file, "?" for anything else.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot Snap(const std::string &root) {
  Snapshot snap;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator();
       it.increment(error)) {
    std::string path = it->path().lexically_relative(root).string();
    std::filesystem::file_status status = it->symlink_status();
    if (std::filesystem::is_symlink(status)) {
      snap[path] = "l:" + std::filesystem::read_symlink(it->path()).string();
    } else if (std::filesystem::is_directory(status)) {
      snap[path] = "d";
    } else if (std::filesystem::is_regular_file(status)) {
      snap[path] = "f:" + ReadFile(it->path().string());
    } else {
      snap[path] = "?";
    }
  }
  return snap;
}

// Standard output goes to an in-memory file for the whole process; each input's share
// is taken with TakeOutput after ClearOutput.
inline int &OutputFd() {
  static int fd = -1;
  return fd;
}

inline void CatchStdout() {
  OutputFd() = memfd_create("trelvin-stdout", MFD_CLOEXEC);
  if (OutputFd() < 0 || dup2(OutputFd(), STDOUT_FILENO) < 0) {
    std::perror("memfd");
    std::exit(2);
  }
}

inline void ClearOutput() {
  std::fflush(stdout);
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) {
    std::abort();
  }
}

inline std::string TakeOutput() {
  std::fflush(stdout);
  std::string text;
  char buffer[4096];
  off_t at = 0;
  ssize_t got;
  while ((got = pread(OutputFd(), buffer, sizeof buffer, at)) > 0) {
    text.append(buffer, static_cast<size_t>(got));
    at += got;
  }
  return text;
}

// The lowest free descriptor: it moves when a run leaves a file open.
inline int LowestFreeFd() {
  int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  close(fd);
  return fd;
}

}  // namespace fuzzsupport

#endif
