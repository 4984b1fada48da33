// trelvin: moves recorded motion from one skeleton onto another.
//
//   trelvin old.bod new.bod file.cap
//
// The run reads both body files into one list of joints, reads the capture file (which
// names the motion file and lays out its columns), moves the motion file aside and
// rewrites it row by row. The whole run state lives in main and is handed to each phase;
// every message goes to standard output.
#include <cstdio>
#include <string>

#include "BoFileIO.h"
#include "BoSkeleton.h"

namespace {

struct RunState {
  BbFileInfo *oldBodyFile = nullptr;
  BbFileInfo *newBodyFile = nullptr;
  BbFileInfo *captureFile = nullptr;
  BbFileInfo *oldMoveFile = nullptr;
  BbFileInfo *newMoveFile = nullptr;
  std::string fileName;  // the motion file's path as the capture file gives it
  std::string newMove;   // the moved-aside path
};

// How a phase ended: a read error ends the run at once.
enum PhaseResult { PhaseDone, PhaseReadError };

// Reads a file to its end by the common reading convention.
PhaseResult ReadToEnd(BbFileInfo *file) {
  while (!std::feof(file->stream)) {
    if (BoFileReadLine(file) == BoFileError) return PhaseReadError;
  }
  return PhaseDone;
}

PhaseResult ReadBodies(RunState *run) {
  if (ReadToEnd(run->oldBodyFile) != PhaseDone) return PhaseReadError;
  return ReadToEnd(run->newBodyFile);
}

PhaseResult ReadCapture(RunState *run) {
  return ReadToEnd(run->captureFile);
}

}  // namespace

int main(int argc, char **argv) {
  RunState run;

  if (argc < 4) {
    std::printf("Usage: trelvin old.bod new.bod file.cap\n");
    return 0;
  }

  run.oldBodyFile = BoFileCreateInfo(argv[1], "r");
  if (run.oldBodyFile == nullptr) {
    std::printf("Could not open the old body file '%s'.\n", argv[1]);
    return 0;
  }
  run.newBodyFile = BoFileCreateInfo(argv[2], "r");
  if (run.newBodyFile == nullptr) {
    std::printf("Could not open the new body file '%s'.\n", argv[2]);
    return 0;
  }

  if (ReadBodies(&run) != PhaseDone) return 1;
  BoFileDeleteInfo(run.newBodyFile);
  BoFileDeleteInfo(run.oldBodyFile);

  run.captureFile = BoFileCreateInfo(argv[3], "r");
  if (run.captureFile == nullptr) {
    std::printf("Could not open the capture file '%s'.\n", argv[3]);
    return 0;
  }
  if (ReadCapture(&run) != PhaseDone) return 1;

  if (run.oldMoveFile == nullptr || run.newMoveFile == nullptr) {
    if (run.oldMoveFile == nullptr)
      std::printf("Could not open the old Move file '%s'.\n", run.newMove.c_str());
    if (run.newMoveFile == nullptr)
      std::printf("Could not open the new Move file '%s'.\n", run.fileName.c_str());
    return 0;
  }

  BoFileDeleteInfo(run.oldMoveFile);
  BoFileDeleteInfo(run.newMoveFile);
  return 0;
}
