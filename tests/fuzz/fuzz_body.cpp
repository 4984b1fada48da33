// Fuzz target: the body reader, in a whole run of the tool on real files. The input is
// the old body, or the old body, a NUL byte and the new body (the example's new body
// otherwise); the capture file and the motion file are the example's.
//
// Properties: the joints the run built agree bit for bit with the reader model (names
// in order, rest values, done flags, correction matrices, channel layouts); no body can
// make the run fail, so it ends with status 0 and prints nothing; the recording sits
// under the moved-aside name; the output has one row per recorded row, each as wide as
// the model's row width; no file is left open.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "ReaderModel.h"
#include "ToolInProcess.h"

namespace {

std::string Example(const char *name) {
  return fuzzsupport::ReadFile(std::string(TRELVIN_SOURCE_DIR) + "/examples/" + name);
}

std::string exampleNewBody, exampleCapture, exampleMotion;

bool SameBits(const void *a, const void *b, size_t size) {
  return std::memcmp(a, b, size) == 0;
}

// Compares the run's joints with the model's; returns what differs, or "".
std::string CompareJoints(const BoHierarchy *hierarchy,
                          const std::vector<readermodel::Joint> &model,
                          const readermodel::Capture &capture) {
  if (hierarchy->njoints != static_cast<int>(model.size())) {
    return "the run has " + std::to_string(hierarchy->njoints) + " joints, the model " +
           std::to_string(model.size());
  }
  for (size_t j = 0; j < model.size(); j++) {
    const BoJoint *got = hierarchy->joints[j];
    const BoJoint *want = model[j].joint;
    const readermodel::Layout &layout = capture.layouts[j];
    std::string which = "joint " + std::to_string(j) + " '" + model[j].name + "': ";
    if (model[j].name != got->name) return which + "the name " + got->name;
    if (got->done != want->done) return which + "the done flag";
    if (!SameBits(&got->oldPos, &want->oldPos, sizeof got->oldPos) ||
        !SameBits(&got->oldRot, &want->oldRot, sizeof got->oldRot) ||
        !SameBits(&got->newPos, &want->newPos, sizeof got->newPos) ||
        !SameBits(&got->newRot, &want->newRot, sizeof got->newRot)) {
      return which + "a rest value";
    }
    if (!SameBits(&got->mx, &want->mx, sizeof got->mx)) return which + "the matrix";
    if (got->firstChannel != layout.firstChannel ||
        got->lastChannel != layout.lastChannel ||
        !SameBits(got->Channels, layout.Channels, sizeof layout.Channels)) {
      return which + "the channel layout";
    }
  }
  return "";
}

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

  std::vector<readermodel::Joint> model;
  readermodel::ReadBodies(oldBody, newBody, &model);
  std::vector<std::string> names;
  for (const readermodel::Joint &j : model) names.push_back(j.name);
  readermodel::Capture capture = readermodel::ReadCapture(exampleCapture, names);

  int freeFd = fuzzsupport::LowestFreeFd();
  fuzzsupport::RunDir dir = fuzzsupport::EnterFreshRunDir();
  fuzzsupport::WriteFile("old.bod", oldBody);
  fuzzsupport::WriteFile("new.bod", newBody);
  fuzzsupport::WriteFile("walk.cap", exampleCapture);
  fuzzsupport::WriteFile("walk.dat", exampleMotion);
  fuzzsupport::ClearOutput();
  int status = toolinprocess::RunTool({"old.bod", "new.bod", "walk.cap"});
  std::string out = fuzzsupport::TakeOutput();
  std::string joints =
      toolinprocess::LiveHierarchies().size() == 1
          ? CompareJoints(toolinprocess::LiveHierarchies()[0], model, capture)
          : "no hierarchy";
  toolinprocess::ReleaseRun();
  std::string aside = fuzzsupport::ReadFile(",walk.dat");
  std::string converted = fuzzsupport::ReadFile("walk.dat");
  fuzzsupport::LeaveRunDir(&dir);
  for (readermodel::Joint &j : model) {
    std::free(j.joint->name);
    std::free(j.joint);
  }

  if (!joints.empty()) fuzzsupport::Fail(joints, data, size);
  if (status != 0 || !out.empty()) {
    fuzzsupport::Fail("status " + std::to_string(status) + ", output: " + out, data,
                      size);
  }
  if (aside != exampleMotion) fuzzsupport::Fail("the recording changed", data, size);
  const int width = capture.totalChannels > 0 ? capture.totalChannels : 0;
  int lines = 0, tabs = 0;
  for (char c : converted) {
    if (c == '\t') tabs++;
    if (c != '\n') continue;
    if (tabs != width) fuzzsupport::Fail("a row of the wrong width", data, size);
    tabs = 0;
    lines++;
  }
  if (lines != 12 || converted.back() != '\n') {
    fuzzsupport::Fail("one row per recorded row", data, size);
  }
  if (fuzzsupport::LowestFreeFd() != freeFd) {
    fuzzsupport::Fail("a file left open", data, size);
  }
  return 0;
}
