// bench_run [ROWS]: converts one realistic take with the tool and with the plain stdio
// reference, side by side, and prints MB/s, rows/s, peak memory and the ratio; then the
// math alone (compose and extract for every row and joint, no parsing or formatting),
// which bounds how fast one thread can go.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BoMotion.h"
#include "BoSkeleton.h"
#include "GbTransform.h"
#include "TakeGen.h"

namespace {

struct Timing {
  double seconds;
  long maxRssKiB;
};

// Runs `binary` on the take in `dir` and puts the original back afterwards; the output
// is kept as `keep`.
Timing RunOnce(const std::string &binary, const std::string &dir,
               const std::string &keep) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    execl(binary.c_str(), binary.c_str(), "old.bod", "new.bod", "take.cap",
          (char *)nullptr);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  wait4(pid, &status, 0, &usage);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("bench_run: %s failed\n", binary.c_str());
    std::exit(1);
  }
  std::filesystem::rename(dir + "/take.dat", dir + "/" + keep);
  std::filesystem::rename(dir + "/,take.dat", dir + "/take.dat");
  return {seconds, usage.ru_maxrss};
}

Timing Best(const std::string &binary, const std::string &dir, const std::string &keep,
            int repeats) {
  Timing best = {1e30, 0};
  for (int r = 0; r < repeats; r++) {
    Timing t = RunOnce(binary, dir, keep);
    if (t.seconds < best.seconds) best.seconds = t.seconds;
    if (t.maxRssKiB > best.maxRssKiB) best.maxRssKiB = t.maxRssKiB;
  }
  return best;
}

std::string Contents(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

// Compose-and-extract for every row: the library's straightforward calls, or the
// tool's plan.
double MathOnly(const std::vector<float> &rows, long nrows, bool toolMath) {
  TakeJoint layout[kTakeJoints];
  TakeLayout(1, layout);
  BoHierarchy *hierarchy = BoHierarchyCreate();
  for (int j = 0; j < kTakeJoints; j++) {
    const TakeJoint &t = layout[j];
    BoJoint *joint = BoJointCreate("j");
    BoJointSetOldPosition(joint, {{t.oldPos[0], t.oldPos[1], t.oldPos[2]}});
    BoJointSetOldRotate(joint, {{t.oldRot[0], t.oldRot[1], t.oldRot[2]}});
    BoJointSetNewRotate(joint, {{t.newRot[0], t.newRot[1], t.newRot[2]}});
    BoJointSetNewPosition(joint, {{t.newPos[0], t.newPos[1], t.newPos[2]}});
    BoJointSetMatrix(joint);
    joint->firstChannel = t.firstChannel;
    joint->lastChannel = t.firstChannel + t.count - 1;
    for (int i = 0; i < t.count; i++) joint->Channels[i] = t.codes[i];
    BoHierarchyAddJoint(hierarchy, joint);
  }
  BoMotionPlan *plan = BoMotionPlanCreate(hierarchy, kTakeChannels);
  std::vector<float> channels(kTakeChannels + 1);
  double checksum = 0.0;
  auto start = std::chrono::steady_clock::now();
  for (long r = 0; r < nrows; r++) {
    std::memcpy(channels.data() + 1, &rows[r * kTakeChannels],
                kTakeChannels * sizeof(float));
    if (toolMath) {
      BoMotionPlanCorrect(plan, channels.data());
    } else {
      for (int j = 0; j < kTakeJoints; j++) {
        const BoJoint *joint = BoHierarchyGetJoint(hierarchy, j);
        BbMatrix mx = BoJointGetMatrix(joint);
        for (int i = 0; i < layout[j].count; i++) {
          int code = joint->Channels[i];
          if (code >= 3)
            GbXformRotateDeg(&mx, channels[joint->firstChannel + i], 'x' + code - 3);
        }
        BbVector rotate;
        BbXfChangeRotOrder(&rotate, "ZYX", mx.mx);
        for (int i = 0; i < layout[j].count; i++) {
          int code = joint->Channels[i];
          if (code >= 3) channels[joint->firstChannel + i] = rotate.vec[5 - code];
        }
      }
    }
    checksum += channels[kTakeChannels];
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  BoMotionPlanDelete(plan);
  if (checksum == 12345.678) std::printf("(checksum)\n");  // keeps the loop alive
  return seconds;
}

}  // namespace

int main(int argc, char **argv) {
  long nrows = argc > 1 ? std::atol(argv[1]) : 50000;
  char pattern[] = "/tmp/trelvin-bench-XXXXXX";
  std::string dir = mkdtemp(pattern);
  if (!TakeWrite(dir, nrows, 1, false)) {
    std::printf("bench_run: could not write the take\n");
    return 1;
  }
  double megabytes =
      static_cast<double>(std::filesystem::file_size(dir + "/take.dat")) / 1e6;
  std::printf("take: %d joints, %d channels, %ld rows, %.1f MB\n", kTakeJoints,
              kTakeChannels, nrows, megabytes);

  Timing plain = Best(TRELVIN_PLAIN_BIN, dir, "out.plain", 2);
  Timing tool = Best(TRELVIN_BIN, dir, "out.tool", 3);
  bool identical = Contents(dir + "/out.plain") == Contents(dir + "/out.tool");
  std::printf("plain stdio: %7.3f s  %7.1f MB/s  %9.0f rows/s  peak RSS %ld KiB\n",
              plain.seconds, megabytes / plain.seconds, nrows / plain.seconds,
              plain.maxRssKiB);
  std::printf("trelvin:     %7.3f s  %7.1f MB/s  %9.0f rows/s  peak RSS %ld KiB\n",
              tool.seconds, megabytes / tool.seconds, nrows / tool.seconds,
              tool.maxRssKiB);
  std::printf("ratio: %.2fx   output identical: %s\n", plain.seconds / tool.seconds,
              identical ? "yes" : "NO");

  std::vector<float> rows(static_cast<size_t>(nrows) * kTakeChannels);
  FILE *take = std::fopen((dir + "/take.dat").c_str(), "r");
  for (float &value : rows) {
    if (std::fscanf(take, "%f", &value) != 1) value = 0.0f;
  }
  std::fclose(take);
  double libraryMath = MathOnly(rows, nrows, false);
  double toolMath = MathOnly(rows, nrows, true);
  std::printf(
      "math only, library rotations: %7.3f s  %7.1f MB/s (plain run / this: %.1fx)\n",
      libraryMath, megabytes / libraryMath, plain.seconds / libraryMath);
  std::printf(
      "math only, tool rotations:    %7.3f s  %7.1f MB/s (tool run / this: %.2fx)\n",
      toolMath, megabytes / toolMath, tool.seconds / toolMath);
  std::filesystem::remove_all(dir);
  return identical ? 0 : 1;
}
