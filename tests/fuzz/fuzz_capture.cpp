// Fuzz target: the capture reader, in a whole run of the tool on real files. The input is
// the capture file; the run directory holds the example's bodies and a set of motion
// files and traps (a motion file in a subdirectory, an earlier moved-aside file, a
// directory, a moved-aside path that is a non-empty directory, a hard link pair, a
// symbolic link), so the rename, the opens and the restore happen for real.
//
// Properties: the joints' channel layouts agree with the reader model; a run that fails
// (any message or a nonzero status) leaves the directory exactly as it was, and a capture
// file without a filename line with a path always fails; a completed run changes one
// motion file only, the one the model names: it is a new regular file with one row per
// line of the recording, each as wide as the model's row width, and the recording sits at
// its moved-aside name (or was already there). No file is left open.
//
// Inputs that could reach outside the run directory (a "..", or a path starting with
// '/') are skipped, and so are channel numbers between 4096 and the row limit, which
// only make the run slow.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "ReaderModel.h"
#include "ToolInProcess.h"

namespace {

std::string exampleOldBody, exampleNewBody, exampleMotion;

bool Admissible(const std::string &input) {
  if (input.find("..") != std::string::npos) return false;
  for (size_t i = 0; i < input.size(); i++) {
    unsigned char before = i == 0 ? ' ' : static_cast<unsigned char>(input[i - 1]);
    if (input[i] == '/' && (std::isspace(before) || before == '\0')) return false;
  }
  // Every run of digits, as "%d" would read it (saturating).
  for (size_t i = 0; i < input.size();) {
    if (!std::isdigit(static_cast<unsigned char>(input[i]))) {
      i++;
      continue;
    }
    long long value = 0;
    for (; i < input.size() && std::isdigit(static_cast<unsigned char>(input[i])); i++) {
      if (value < 10000000) value = value * 10 + (input[i] - '0');
    }
    if (value > 4096 && value <= BO_MOTION_MAX_CHANNELS) return false;
  }
  return true;
}

void WriteFixtures(const std::string &capture) {
  fuzzsupport::WriteFile("old.bod", exampleOldBody);
  fuzzsupport::WriteFile("new.bod", exampleNewBody);
  fuzzsupport::WriteFile("in.cap", capture);
  fuzzsupport::WriteFile("walk.dat", exampleMotion);
  mkdir("moves", 0700);
  fuzzsupport::WriteFile("moves/walk.dat", "1 2 3\r\n4 5 6\r\n");
  fuzzsupport::WriteFile(",old.dat", "7 8 9\n-1e3 nan");
  mkdir("sub", 0700);
  fuzzsupport::WriteFile("sub/inside", "x\n");
  fuzzsupport::WriteFile("walk2.dat", "5\n");
  mkdir(",walk2.dat", 0700);
  fuzzsupport::WriteFile(",walk2.dat/keep", "k");
  fuzzsupport::WriteFile("hard.dat", "3 4\n");
  if (link("hard.dat", ",hard.dat") != 0 || symlink("walk.dat", "link.dat") != 0) {
    std::abort();
  }
}

std::string MovedAside(const std::string &path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return "," + path;
  return path.substr(0, slash) + "/," + path.substr(slash + 1);
}

size_t CountLines(const std::string &text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') lines++;
  return lines;
}

// The one motion file a completed run may have converted, or "" if the changes are
// not those of one conversion.
std::string ConvertedFile(const fuzzsupport::Snapshot &before,
                          const fuzzsupport::Snapshot &after) {
  std::vector<std::string> changed;
  for (const auto &[path, entry] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second != entry) changed.push_back(path);
  }
  for (const auto &[path, entry] : after) {
    if (before.count(path) == 0) changed.push_back(path);
  }
  for (const std::string &motion : changed) {
    std::string aside = MovedAside(motion);
    bool onlyThePair = true;
    for (const std::string &path : changed)
      onlyThePair &= path == motion || path == aside;
    auto output = after.find(motion);
    auto kept = after.find(aside);
    if (!onlyThePair || output == after.end() || output->second.rfind("f:", 0) != 0 ||
        kept == after.end()) {
      continue;
    }
    auto recording = before.find(motion);
    auto earlier = before.find(aside);
    if (recording != before.end()
            ? kept->second == recording->second
            : earlier != before.end() && kept->second == earlier->second) {
      return motion;
    }
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzsupport::MakeBaseDir(8 << 20);
  fuzzsupport::CatchStdout();
  const std::string examples = std::string(TRELVIN_SOURCE_DIR) + "/examples/";
  exampleOldBody = fuzzsupport::ReadFile(examples + "old.bod");
  exampleNewBody = fuzzsupport::ReadFile(examples + "new.bod");
  exampleMotion = fuzzsupport::ReadFile(examples + "walk.dat");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string capture(reinterpret_cast<const char *>(data), size);
  if (!Admissible(capture)) return -1;

  int freeFd = fuzzsupport::LowestFreeFd();
  fuzzsupport::RunDir dir = fuzzsupport::EnterFreshRunDir();
  WriteFixtures(capture);
  fuzzsupport::Snapshot before = fuzzsupport::Snap(".");
  fuzzsupport::ClearOutput();
  int status = toolinprocess::RunTool({"old.bod", "new.bod", "in.cap"});
  std::string out = fuzzsupport::TakeOutput();
  std::string layouts = "no hierarchy";
  readermodel::Capture model;
  if (toolinprocess::LiveHierarchies().size() == 1) {
    const BoHierarchy *hierarchy = toolinprocess::LiveHierarchies()[0];
    std::vector<std::string> names;
    for (int j = 0; j < hierarchy->njoints; j++)
      names.push_back(hierarchy->joints[j]->name);
    model = readermodel::ReadCapture(capture, names);
    layouts = "";
    for (int j = 0; j < hierarchy->njoints && layouts.empty(); j++) {
      const BoJoint *got = hierarchy->joints[j];
      const readermodel::Layout &want = model.layouts[j];
      if (got->firstChannel != want.firstChannel ||
          got->lastChannel != want.lastChannel ||
          std::memcmp(got->Channels, want.Channels, sizeof want.Channels) != 0) {
        layouts = "the channel layout of " + names[j];
      }
    }
  }
  toolinprocess::ReleaseRun();
  fuzzsupport::Snapshot after = fuzzsupport::Snap(".");
  std::string motion, recording;
  if (status == 0 && out.empty()) {
    motion = ConvertedFile(before, after);
    if (!motion.empty()) recording = fuzzsupport::ReadFile(MovedAside(motion));
  }
  fuzzsupport::LeaveRunDir(&dir);

  if (!layouts.empty()) fuzzsupport::Fail(layouts, data, size);
  if (status != 0 || !out.empty()) {
    if (after != before) {
      fuzzsupport::Fail("a failed run (status " + std::to_string(status) +
                            ", output: " + out + ") changed the directory",
                        data, size);
    }
  } else {
    if (motion.empty()) {
      std::string changes;
      for (const auto &[path, entry] : after) {
        if (before.count(path) == 0 || before.at(path) != entry) changes += " " + path;
      }
      for (const auto &[path, entry] : before) {
        if (after.count(path) == 0) changes += " -" + path;
      }
      fuzzsupport::Fail(
          "a completed run did not leave one converted file; changed:" + changes, data,
          size);
    }
    if (!model.named) fuzzsupport::Fail("completed without a motion file", data, size);
    if (motion != std::filesystem::path(model.fileName).lexically_normal().string()) {
      fuzzsupport::Fail("converted " + motion + ", not " + model.fileName, data, size);
    }
    const std::string &output = after[motion];  // "f:" and the text
    if (CountLines(output.substr(2)) != CountLines(recording) ||
        (output.size() > 2 && output.back() != '\n')) {
      fuzzsupport::Fail("the output of " + motion + " has not one row per line", data,
                        size);
    }
    const size_t width = model.totalChannels > 0 ? model.totalChannels : 0;
    size_t tabs = 0;
    for (char c : output.substr(2)) {
      if (c == '\t') tabs++;
      if (c != '\n') continue;
      if (tabs != width) fuzzsupport::Fail("a row of the wrong width", data, size);
      tabs = 0;
    }
  }
  if (fuzzsupport::LowestFreeFd() != freeFd)
    fuzzsupport::Fail("a file left open", data, size);
  return 0;
}
