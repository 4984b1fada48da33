// Shared helpers for the tests: a scratch directory, small file helpers, capturing what
// a function prints on standard output, and running the trelvin binary.
#ifndef TRELVIN_TESTSUPPORT_H
#define TRELVIN_TESTSUPPORT_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FileText.h"

namespace testsupport {

// A float's bit pattern, and the float shown with it.
inline uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline std::string Show(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g (0x%08x)", value, Bits(value));
  return text;
}

// Equal bit patterns (so +0 and -0 differ); any two NaNs count as equal.
inline ::testing::AssertionResult SameBits(const char *actualText,
                                           const char *expectedText, float actual,
                                           float expected) {
  if (Bits(actual) == Bits(expected) || (std::isnan(actual) && std::isnan(expected))) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << actualText << " is " << Show(actual) << ", "
                                       << expectedText << " is " << Show(expected);
}

#define EXPECT_SAME_BITS(actual, expected) \
  EXPECT_PRED_FORMAT2(testsupport::SameBits, actual, expected)

// A fresh directory under the system's temporary directory, removed with everything in
// it when the value goes out of scope.
struct TempDir {
  std::string path;
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "trelvin-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    char *made = mkdtemp(buffer.data());
    if (made == nullptr) {
      ADD_FAILURE() << "mkdtemp failed";
      return;
    }
    path = made;
  }
  ~TempDir() {
    std::error_code ignored;
    // Permission tests may leave read-only directories behind.
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string operator/(const std::string &name) const { return path + "/" + name; }
};

using filetext::ReadFile;
using filetext::WriteFile;

inline bool Exists(const std::string &path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// Captures what the calls between Start and Stop print on standard output (stdio and
// the file descriptor alike).
struct StdoutCapture {
  int saved = -1;
  std::FILE *file = nullptr;
  void Start() {
    std::fflush(stdout);
    file = std::tmpfile();
    saved = dup(STDOUT_FILENO);
    dup2(fileno(file), STDOUT_FILENO);
  }
  std::string Stop() {
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      text.append(buffer, got);
    std::fclose(file);
    return text;
  }
};

struct RunResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

struct RunOptions {
  std::string binary = TRELVIN_BIN;  // the program to run
  std::vector<std::string> prefix;   // words put before the binary (e.g. setpriv ...)
  long fileSizeLimit = -1;           // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored
  bool killAtFileSizeLimit = false;  // leave SIGXFSZ as it is: the run dies at the limit
  unsigned timeoutSeconds = 60;      // the run is killed (status -1) after this
};

// Runs the trelvin binary (or options.binary) with `args` in the directory `dir`.
inline RunResult RunTrelvin(const std::string &dir, const std::vector<std::string> &args,
                            const RunOptions &options = {}) {
  RunResult result;
  std::string outPath = dir + "/.stdout", errPath = dir + "/.stderr";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (options.fileSizeLimit >= 0) {
      std::signal(SIGXFSZ, options.killAtFileSizeLimit ? SIG_DFL : SIG_IGN);
      struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                             static_cast<rlim_t>(options.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    alarm(options.timeoutSeconds);
    std::vector<std::string> words(options.prefix);
    words.push_back(options.binary);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return result;
}

}  // namespace testsupport

#endif
