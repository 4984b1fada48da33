// Fuzz target: the motion row conversion on the example's joints. The hierarchy and the
// channel layout come from one real run of the tool on examples/ at start-up; each input
// is a motion file, converted by the streamed and by the plain conversion, which must
// agree byte for byte.
#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "MotionDiff.h"
#include "ToolInProcess.h"

namespace {

BoHierarchy *exampleHierarchy = nullptr;
int exampleChannels = 0;

void LoadExample() {
  fuzzsupport::RunDir dir = fuzzsupport::EnterFreshRunDir();
  for (const char *name : {"old.bod", "new.bod", "walk.cap", "walk.dat"}) {
    fuzzsupport::WriteFile(name, fuzzsupport::ReadFile(std::string(TRELVIN_SOURCE_DIR) +
                                                       "/examples/" + name));
  }
  int status = toolinprocess::RunTool({"old.bod", "new.bod", "walk.cap"});
  std::vector<BoHierarchy *> &kept = toolinprocess::LiveHierarchies();
  if (status != 0 || kept.size() != 1) {
    std::fprintf(stderr, "the example run failed\n");
    std::exit(2);
  }
  // The hierarchy stays for the whole process; the rest of the run is released.
  exampleHierarchy = kept[0];
  kept.clear();
  toolinprocess::ReleaseRun();
  fuzzsupport::LeaveRunDir(&dir);
  // The example's last capture line ends the row.
  for (int i = 0; i < exampleHierarchy->njoints; i++) {
    exampleChannels = std::max(exampleChannels, exampleHierarchy->joints[i]->lastChannel);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzsupport::MakeBaseDir(64 << 20);
  fuzzsupport::CatchStdout();
  LoadExample();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string motion(reinterpret_cast<const char *>(data), size);
  motiondiff::Compare(exampleHierarchy, exampleChannels, motion, data, size);
  return 0;
}
