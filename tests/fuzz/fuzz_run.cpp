// The whole run on fuzzed files, in a scratch directory, so that the readers, the move
// of the motion file and the opens happen for real. Built three times: the fuzzed input
// is the old body (FUZZ_ROLE_body), the capture file (FUZZ_ROLE_capture) or the motion
// file (FUZZ_ROLE_motion); the other files are small fixed ones. After every run the
// harness checks that the recording survived: under its own name or moved aside.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int TrelvinMain(int argc, char **argv);

namespace {

const char kBody[] =
    "bgnsite\nname hip\nxfm 0 10 0 5 0 0\nendsite\n"
    "bgnsite\nname knee\nxfm 3 0 0 0 20 0\nendsite\n";
const char kNewBody[] =
    "bgnsite\nname hip\nxfm 2 10 0 0 0 0\nendsite\n"
    "bgnsite\nname knee\nxfm 3 1 0 0 0 -30\nendsite\n";
const char kCapture[] =
    "bgninput\nfilename walk.dat\nendinput\n"
    "object joint body.hip\ncapture hip 1 "
    "4\nbgntracks\nxpos\nzrot\nxrot\nyrot\nendtracks\n"
    "object joint body.knee\ncapture knee 5 6\nbgntracks\nyrot\nxrot\nendtracks\n";
const char kMotion[] = "1 2 3 4 5 6\n-0.5 1e3 nan 90 -180 270\n";

std::string scratch;

void Write(const char *name, const std::string &text) {
  FILE *file = std::fopen(name, "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

std::string Read(const char *name) {
  std::string text;
  FILE *file = std::fopen(name, "rb");
  if (file == nullptr) return "<missing>";
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/trelvin-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
  scratch = pattern;
  // The run's messages are not what is checked here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input(reinterpret_cast<const char *>(data), size);
  std::error_code ignored;
  for (const auto &entry : std::filesystem::directory_iterator(scratch, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(entry.path(), ignored);
  }
  std::string oldBody = kBody, capture = kCapture, motion = kMotion;
#if defined(FUZZ_ROLE_body)
  oldBody = input;
#elif defined(FUZZ_ROLE_capture)
  // Paths stay inside the scratch directory: no '/' can name anything else.
  for (char &c : input) {
    if (c == '/') c = '_';
  }
  capture = input;
#else
  motion = input;
#endif
  Write("old.bod", oldBody);
  Write("new.bod", kNewBody);
  Write("walk.cap", capture);
  Write("walk.dat", motion);

  char arg0[] = "trelvin", arg1[] = "old.bod", arg2[] = "new.bod", arg3[] = "walk.cap";
  char *argv[] = {arg0, arg1, arg2, arg3, nullptr};
  TrelvinMain(4, argv);

  // The recording is never lost: it is under its own name, or moved aside beside a
  // converted file. (A fuzzed capture file may name another file, or the same file
  // through a different spelling; then walk.dat must simply be untouched.)
  std::string here = Read("walk.dat"), aside = Read(",walk.dat");
  if (here != motion && aside != motion) std::abort();
  return 0;
}
