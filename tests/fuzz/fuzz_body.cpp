// Fuzz target: the body reader, in a whole run of the tool on real files. The input is
// the old body, or the old body, a NUL byte and the new body (the example's new body
// otherwise); the capture file and the motion file are the example's. No body can make
// the run fail: it must end with status 0, print nothing, keep the recording under the
// moved-aside name and write one row per recorded row, all rows of one width: that of
// the last capture line whose joint the old body names (39 when it names them all).
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ToolInProcess.h"

namespace {

std::string Example(const char *name) {
  return fuzzsupport::ReadFile(std::string(TRELVIN_SOURCE_DIR) + "/examples/" + name);
}

std::string exampleNewBody, exampleCapture, exampleMotion;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzsupport::MakeBaseDir(64 << 20);
  fuzzsupport::CatchStdout();
  exampleNewBody = Example("new.bod");
  exampleCapture = Example("walk.cap");
  exampleMotion = Example("walk.dat");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input(reinterpret_cast<const char *>(data), size);
  std::string::size_type split = input.find('\0');
  std::string oldBody = input.substr(0, split);
  std::string newBody =
      split == std::string::npos ? exampleNewBody : input.substr(split + 1);

  int freeFd = fuzzsupport::LowestFreeFd();
  fuzzsupport::RunDir dir = fuzzsupport::EnterFreshRunDir();
  fuzzsupport::WriteFile("old.bod", oldBody);
  fuzzsupport::WriteFile("new.bod", newBody);
  fuzzsupport::WriteFile("walk.cap", exampleCapture);
  fuzzsupport::WriteFile("walk.dat", exampleMotion);
  fuzzsupport::ClearOutput();
  int status = toolinprocess::RunTool({"old.bod", "new.bod", "walk.cap"});
  std::string out = fuzzsupport::TakeOutput();
  toolinprocess::ReleaseRun();
  std::string aside = fuzzsupport::ReadFile(",walk.dat");
  std::string converted = fuzzsupport::ReadFile("walk.dat");
  fuzzsupport::LeaveRunDir(&dir);

  if (status != 0 || !out.empty()) {
    fuzzsupport::Fail("status " + std::to_string(status) + ", output: " + out, data,
                      size);
  }
  if (aside != exampleMotion) fuzzsupport::Fail("the recording changed", data, size);
  int lines = 0, tabs = 0, width = -1;
  for (char c : converted) {
    if (c == '\t') tabs++;
    if (c != '\n') continue;
    if (width == -1) width = tabs;
    if (tabs != width || width % 3 != 0 || width > 39 || width == 3) {
      fuzzsupport::Fail("a row of the wrong width", data, size);
    }
    tabs = 0;
    lines++;
  }
  if (lines != 12 || converted.back() != '\n') {
    fuzzsupport::Fail("one row per recorded row", data, size);
  }
  if (fuzzsupport::LowestFreeFd() != freeFd)
    fuzzsupport::Fail("a file left open", data, size);
  return 0;
}
