// Take generator: the fixed 60-joint layout and a reproducible stream of values.
#include "TakeGen.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace {

const char *const kTrackNames[] = {"xpos", "ypos", "zpos", "xrot", "yrot", "zrot"};
const int kOrders[6][3] = {{5, 4, 3}, {3, 4, 5}, {4, 3, 5},
                           {5, 3, 4}, {3, 5, 4}, {4, 5, 3}};

const char *const kOddTokens[] = {
    "1e2",   "-.5",     "+3.",      "1e 5",   "nan",
    "-inf",  "nan(12)", "0x1.8p3",  "1e-50",  "3e39",
    "-0",    "0.125",   "-0.00001", "12abc",  "x",
    "1.e",   ".",       "-",        "1e+",    "123456789012.5",
    "0.375", "2.675",   "1.005",    "-1e-45", "99999999999999999999"};
constexpr int kOddCount = sizeof kOddTokens / sizeof kOddTokens[0];

bool WriteBodies(const std::string &dir, const TakeJoint *joints) {
  FILE *old = std::fopen((dir + "/old.bod").c_str(), "w");
  FILE *fresh = std::fopen((dir + "/new.bod").c_str(), "w");
  bool ok = old != nullptr && fresh != nullptr;
  for (int j = 0; ok && j < kTakeJoints; j++) {
    const TakeJoint &t = joints[j];
    std::fprintf(old, "bgnsite\nname joint%02d\nxfm %g %g %g %g %g %g\nendsite\n", j,
                 t.oldPos[0], t.oldPos[1], t.oldPos[2], t.oldRot[0], t.oldRot[1],
                 t.oldRot[2]);
    std::fprintf(fresh, "bgnsite\nname joint%02d\nxfm %g %g %g %g %g %g\nendsite\n", j,
                 t.newPos[0], t.newPos[1], t.newPos[2], t.newRot[0], t.newRot[1],
                 t.newRot[2]);
  }
  if (old != nullptr) ok = std::fclose(old) == 0 && ok;
  if (fresh != nullptr) ok = std::fclose(fresh) == 0 && ok;
  return ok;
}

bool WriteCapture(const std::string &dir, const TakeJoint *joints) {
  FILE *cap = std::fopen((dir + "/take.cap").c_str(), "w");
  if (cap == nullptr) return false;
  std::fprintf(cap, "bgninput\nfilename take.dat\nendinput\n");
  for (int j = 0; j < kTakeJoints; j++) {
    const TakeJoint &t = joints[j];
    std::fprintf(cap, "object joint body.joint%02d\ncapture joint%02d %d %d\nbgntracks\n",
                 j, j, t.firstChannel, t.firstChannel + t.count - 1);
    for (int i = 0; i < t.count; i++) std::fprintf(cap, "%s\n", kTrackNames[t.codes[i]]);
    std::fprintf(cap, "endtracks\n");
  }
  return std::fclose(cap) == 0;
}

}  // namespace

void TakeLayout(unsigned seed, TakeJoint joints[kTakeJoints]) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> angle(-40.0f, 40.0f), length(-30.0f, 30.0f);
  int chn = 1;
  for (int j = 0; j < kTakeJoints; j++) {
    TakeJoint &t = joints[j];
    float y = std::round(length(random) * 100.0f) / 100.0f;
    // Every fourth joint's position leaves the y axis in the new body.
    float x = j % 4 == 0 ? std::round(length(random) * 30.0f) / 100.0f : 0.0f;
    t.oldPos[0] = 0.0f, t.oldPos[1] = y, t.oldPos[2] = 0.0f;
    t.newPos[0] = x, t.newPos[1] = y * 1.1f, t.newPos[2] = 0.0f;
    for (int i = 0; i < 3; i++) t.oldRot[i] = std::round(angle(random) * 10.0f) / 10.0f;
    for (int i = 0; i < 3; i++) t.newRot[i] = std::round(angle(random) * 10.0f) / 10.0f;
    t.firstChannel = chn;
    if (j == 0) {
      const int root[6] = {0, 1, 2, 5, 4, 3};
      t.count = 6;
      for (int i = 0; i < 6; i++) t.codes[i] = root[i];
    } else {
      t.count = 3;
      for (int i = 0; i < 3; i++) t.codes[i] = kOrders[j % 6][i];
    }
    chn += t.count;
  }
}

bool TakeWrite(const std::string &dir, long rows, unsigned seed, bool odd) {
  TakeJoint joints[kTakeJoints];
  TakeLayout(seed, joints);
  if (!WriteBodies(dir, joints) || !WriteCapture(dir, joints)) return false;
  FILE *take = std::fopen((dir + "/take.dat").c_str(), "w");
  if (take == nullptr) return false;
  std::mt19937 random(seed + 1);
  std::uniform_real_distribution<double> noise(-2.0, 2.0);
  std::uniform_int_distribution<int> oddPick(0, 8 * kOddCount);
  char line[16384];
  for (long row = 0; row < rows; row++) {
    size_t used = 0;
    for (int chn = 1; chn <= kTakeChannels; chn++) {
      const char *sep = chn < kTakeChannels ? " " : "";
      int pick = odd ? oddPick(random) : kOddCount;
      if (pick < kOddCount) {
        used +=
            std::snprintf(line + used, sizeof line - used, "%s%s", kOddTokens[pick], sep);
        continue;
      }
      double value = chn <= 3 ? (chn == 2 ? 95.0 : 0.01 * row) + noise(random)
                              : 80.0 * std::sin(0.01 * row + 0.37 * chn) + noise(random);
      used += std::snprintf(line + used, sizeof line - used, "%.4f%s", value, sep);
    }
    if (odd && row % 97 == 5) used /= 2;  // a row cut short
    if (odd && row % 89 == 3) line[used++] = '\r';
    line[used++] = '\n';
    if (std::fwrite(line, 1, used, take) != used) {
      std::fclose(take);
      return false;
    }
  }
  return std::fclose(take) == 0;
}
