// trelvin: moves recorded motion from one skeleton onto another.
//
//   trelvin old.bod new.bod file.cap
//
// The run reads both body files into one list of joints (each shared joint gets its
// correction matrix), reads the capture file (which names the motion file and lays out
// its columns), moves the motion file aside (walk.dat becomes ,walk.dat) and rewrites it
// under its own name. The whole run state lives in main and is handed to each phase;
// every message goes to standard output.
//
// A recording is never lost: the motion file is moved with rename(2), never through a
// shell; a move that would do nothing or destroy the file is refused; and a run that
// ends without a completed conversion removes what it wrote and puts the recording back
// under its own name.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "BoFileIO.h"
#include "BoMotion.h"
#include "BoMotionText.h"
#include "BoSkeleton.h"

namespace {

struct RunState {
  BbFileInfo *oldBodyFile = nullptr;
  BbFileInfo *newBodyFile = nullptr;
  BbFileInfo *captureFile = nullptr;
  BbFileInfo *oldMoveFile = nullptr;
  BbFileInfo *newMoveFile = nullptr;
  BoHierarchy *hierarchy = nullptr;
  BoJoint *joint = nullptr;  // the current joint of a reader
  std::string keyword;
  std::string fileName;  // the motion file's path as the capture file gives it
  std::string newMove;   // its moved-aside path
  int totalChannels = 0;
  bool motionNamed = false;  // a filename line with a path has been handled
  bool movedAside = false;   // this run moved the motion file to newMove
  std::string partial;       // where the output is written until it is complete
  bool wroteOutput = false;  // this run created the file at partial
};

// How a phase ended: a read error ends the run at once.
enum PhaseResult { PhaseDone, PhaseReadError };

// The whitespace-delimited token of `line` that starts at or after *pos (empty if none);
// *pos moves past it.
std::string NextToken(const char *line, size_t *pos) {
  size_t i = *pos;
  while (line[i] != '\0' && std::isspace(static_cast<unsigned char>(line[i]))) i++;
  size_t first = i;
  while (line[i] != '\0' && !std::isspace(static_cast<unsigned char>(line[i]))) i++;
  *pos = i;
  return std::string(line + first, i - first);
}

// Reads the next line of `file` and takes its first token into the keyword. At the end
// of the file the keyword is empty.
BoFileReadResult ReadKeywordLine(RunState *run, BbFileInfo *file, size_t *pos) {
  BoFileReadResult result = BoFileReadLine(file);
  *pos = 0;
  run->keyword = NextToken(file->inputline, pos);
  return result;
}

// Reads up to `count` numbers as "%f" reads them, stopping at the first token that is no
// number. Returns how many were read.
int ReadFloats(const char *line, size_t pos, float *values, int count) {
  int read = 0;
  const char *end = line + std::strlen(line);
  while (read < count) {
    int taken = BoMotionScanFloat(line + pos, end, &values[read]);
    if (taken == 0) break;
    pos += static_cast<size_t>(taken);
    read++;
  }
  return read;
}

// Reads one decimal integer as "%d" reads it, into *value; a value outside the range of
// int is clamped to it. Returns false when there is no number.
bool ReadInt(const char *line, size_t *pos, int *value) {
  long wide = 0;
  int taken = 0;
  if (std::sscanf(line + *pos, "%ld%n", &wide, &taken) != 1) return false;
  *pos += static_cast<size_t>(taken);
  if (wide > INT_MAX) wide = INT_MAX;
  if (wide < INT_MIN) wide = INT_MIN;
  *value = static_cast<int>(wide);
  return true;
}

// The xfm line's position and rotation; numbers the line lacks are 0.
void ReadXfm(const char *line, size_t pos, BbVector *translate, BbVector *rotate) {
  float values[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  ReadFloats(line, pos, values, 6);
  *translate = {{values[0], values[1], values[2]}};
  *rotate = {{values[3], values[4], values[5]}};
}

// One body file. The old body creates a joint per distinct name and sets its old rest
// values; the new body completes the joints it shares with the old one, once each.
PhaseResult ReadBody(RunState *run, BbFileInfo *file, bool oldBody) {
  size_t pos = 0;
  while (!std::feof(file->stream)) {
    if (ReadKeywordLine(run, file, &pos) == BoFileError) return PhaseReadError;
    if (run->keyword != "bgnsite") continue;

    run->joint = nullptr;
    for (;;) {
      BoFileReadResult result = ReadKeywordLine(run, file, &pos);
      if (result == BoFileError) return PhaseReadError;
      if (result == BoFileEnd || run->keyword == "endsite") break;

      if (run->keyword == "name") {
        std::string jointName = NextToken(file->inputline, &pos);
        run->joint = BoHierarchyFindJoint(run->hierarchy, jointName.c_str());
        if (oldBody) {
          // A repeated name: the first site's values stand.
          if (run->joint != nullptr) {
            run->joint = nullptr;
          } else {
            run->joint = BoJointCreate(jointName.c_str());
            if (run->joint != nullptr) BoHierarchyAddJoint(run->hierarchy, run->joint);
          }
        } else if (run->joint != nullptr && run->joint->done) {
          run->joint = nullptr;
        }
      } else if (run->keyword == "xfm" && run->joint != nullptr) {
        BbVector translate, rotate;
        ReadXfm(file->inputline, pos, &translate, &rotate);
        if (oldBody) {
          BoJointSetOldPosition(run->joint, translate);
          BoJointSetOldRotate(run->joint, rotate);
        } else {
          BoJointSetNewRotate(run->joint, rotate);
          BoJointSetNewPosition(run->joint, translate);
          BoJointSetMatrix(run->joint);
        }
      }
    }
  }
  return PhaseDone;
}

PhaseResult ReadBodies(RunState *run) {
  run->hierarchy = BoHierarchyCreate();
  if (ReadBody(run, run->oldBodyFile, true) != PhaseDone) return PhaseReadError;
  return ReadBody(run, run->newBodyFile, false);
}

void WarnMove(const std::string &from, const std::string &to) {
  std::string message = "Could not move the file '" + from + "' to '" + to + "'.";
  BoDialogWarning("File", message.c_str());
}

// Where the converted motion is written until it is complete: a hidden name beside the
// motion file (walk.dat is written as .,walk.dat), renamed to the motion file's own name
// at the end. A run that is killed on the way thus leaves no motion file behind, only
// the moved-aside recording, and the rerun converts again from it instead of moving a
// partial result over it. A base name too long to take the prefix is written in place.
std::string PartialPath(const std::string &fileName) {
  std::string::size_type slash = fileName.rfind('/');
  std::string::size_type base = slash == std::string::npos ? 0 : slash + 1;
  if (fileName.size() - base + 2 > NAME_MAX) return fileName;
  return fileName.substr(0, base) + ".," + fileName.substr(base);
}

// Moves the motion file aside and opens both motion files. The move is refused when the
// two paths already name one file (the move would do nothing, or unlink the recording,
// and the open for writing would empty it) and when the motion file stays where it was;
// then neither file is opened. A motion file that does not exist is not moved: an
// earlier moved-aside file is converted again.
void OpenMotionFiles(RunState *run) {
  const char *fileName = run->fileName.c_str();
  const char *newMove = run->newMove.c_str();
  struct stat motion, aside;
  if (stat(fileName, &motion) == 0 && stat(newMove, &aside) == 0 &&
      motion.st_dev == aside.st_dev && motion.st_ino == aside.st_ino) {
    WarnMove(run->fileName, run->newMove);
    return;
  }
  if (std::rename(fileName, newMove) == 0) {
    run->movedAside = true;
  } else if (lstat(fileName, &motion) == 0 || errno != ENOENT) {
    WarnMove(run->fileName, run->newMove);
    return;
  }
  run->oldMoveFile = BoFileCreateInfo(newMove, "r");
  run->partial = PartialPath(run->fileName);
  // A partial file left by a killed run is this program's own; removing it first also
  // keeps a link of that name from carrying the write anywhere else.
  if (run->partial != run->fileName) std::remove(run->partial.c_str());
  run->newMoveFile = BoFileCreateInfo(run->partial.c_str(), "w");
  run->wroteOutput = run->newMoveFile != nullptr;
}

// The moved-aside path: a comma in front of the base name.
std::string MovedAsidePath(const std::string &fileName) {
  std::string::size_type slash = fileName.rfind('/');
  if (slash == std::string::npos) return "," + fileName;
  return fileName.substr(0, slash) + "/," + fileName.substr(slash + 1);
}

PhaseResult ReadInput(RunState *run) {
  BbFileInfo *file = run->captureFile;
  size_t pos = 0;
  for (;;) {
    BoFileReadResult result = ReadKeywordLine(run, file, &pos);
    if (result == BoFileError) return PhaseReadError;
    if (result == BoFileEnd || run->keyword == "endinput") return PhaseDone;
    if (run->keyword != "filename" || run->motionNamed) continue;
    // Only the first filename line with a path counts: moving again would put the new,
    // empty output over the moved-aside recording.
    std::string path = NextToken(file->inputline, &pos);
    if (path.empty()) continue;
    run->motionNamed = true;
    run->fileName = path;
    run->newMove = MovedAsidePath(path);
    OpenMotionFiles(run);
  }
}

PhaseResult ReadTracks(RunState *run) {
  static const char *const kTracks[] = {"xpos", "ypos", "zpos", "xrot", "yrot", "zrot"};
  BbFileInfo *file = run->captureFile;
  size_t pos = 0;
  int chn = 0;
  for (;;) {
    BoFileReadResult result = ReadKeywordLine(run, file, &pos);
    if (result == BoFileError) return PhaseReadError;
    if (result == BoFileEnd || run->keyword == "endtracks") break;
    for (int code = 0; code < 6; code++) {
      if (run->keyword != kTracks[code]) continue;
      // A joint has 12 slots; later channel lines take none.
      if (chn < 12) run->joint->Channels[chn] = code;
      chn++;
    }
  }
  run->joint = nullptr;
  return PhaseDone;
}

PhaseResult ReadCapture(RunState *run) {
  BbFileInfo *file = run->captureFile;
  size_t pos = 0;
  while (!std::feof(file->stream)) {
    if (ReadKeywordLine(run, file, &pos) == BoFileError) return PhaseReadError;
    const char *line = file->inputline;
    if (run->keyword == "bgninput") {
      if (ReadInput(run) != PhaseDone) return PhaseReadError;
    } else if (run->keyword == "object") {
      if (NextToken(line, &pos) != "joint") continue;
      std::string objectName = NextToken(line, &pos);
      std::string::size_type dot = objectName.rfind('.');
      std::string jointName =
          dot == std::string::npos ? objectName : objectName.substr(dot + 1);
      run->joint = BoHierarchyFindJoint(run->hierarchy, jointName.c_str());
    } else if (run->keyword == "capture" && run->joint != nullptr) {
      NextToken(line, &pos);  // the capture's own name, not used
      if (ReadInt(line, &pos, &run->joint->firstChannel)) {
        ReadInt(line, &pos, &run->joint->lastChannel);
      }
      run->totalChannels = run->joint->lastChannel;
    } else if (run->keyword == "bgntracks" && run->joint != nullptr) {
      if (ReadTracks(run) != PhaseDone) return PhaseReadError;
    }
  }
  return PhaseDone;
}

// Ends a run that did not complete its conversion: what this run wrote is removed, and
// a recording it moved aside goes back under its own name.
int EndRun(RunState *run, int status) {
  BoFileDeleteInfo(run->oldMoveFile);
  BoFileDeleteInfo(run->newMoveFile);
  run->oldMoveFile = run->newMoveFile = nullptr;
  if (run->wroteOutput) std::remove(run->partial.c_str());
  if (run->movedAside && std::rename(run->newMove.c_str(), run->fileName.c_str()) != 0) {
    WarnMove(run->newMove, run->fileName);
  }
  return status;
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
  // The capture file starts without a current joint: the body readers leave their last
  // site's joint here, and a capture line before any object line must not reach it.
  run.joint = nullptr;

  run.captureFile = BoFileCreateInfo(argv[3], "r");
  if (run.captureFile == nullptr) {
    std::printf("Could not open the capture file '%s'.\n", argv[3]);
    return 0;
  }
  if (ReadCapture(&run) != PhaseDone) return EndRun(&run, 1);

  if (run.oldMoveFile == nullptr || run.newMoveFile == nullptr) {
    if (run.oldMoveFile == nullptr)
      std::printf("Could not open the old Move file '%s'.\n", run.newMove.c_str());
    if (run.newMoveFile == nullptr)
      std::printf("Could not open the new Move file '%s'.\n", run.fileName.c_str());
    return EndRun(&run, 0);
  }

  BoMotionResult converted =
      BoMotionConvert(run.hierarchy, run.totalChannels, run.oldMoveFile, run.newMoveFile);
  if (converted == BoMotionReadError) return EndRun(&run, 1);
  if (converted == BoMotionNoRow) {
    std::printf("Could not allocate a row of %d channels.\n", run.totalChannels);
    return EndRun(&run, 1);
  }

  // Closing completes the rewritten file; a failure here is a failed write too.
  BoFileDeleteInfo(run.oldMoveFile);
  run.oldMoveFile = nullptr;
  int closed = std::fclose(run.newMoveFile->stream);
  run.newMoveFile->stream = nullptr;
  BoFileDeleteInfo(run.newMoveFile);
  run.newMoveFile = nullptr;
  if (converted == BoMotionWriteError || closed != 0) {
    std::string message =
        "An error occured while writing the file '" + run.fileName + "'.";
    BoDialogWarning("File I/O", message.c_str());
    return EndRun(&run, 1);
  }
  if (run.partial != run.fileName &&
      std::rename(run.partial.c_str(), run.fileName.c_str()) != 0) {
    WarnMove(run.partial, run.fileName);
    return EndRun(&run, 1);
  }
  return 0;
}
