// The conversion in process: for random rest poses and random channel values, the
// written Z-Y-X angles rebuild the rotation that the joint's channels compose onto its
// correction matrix, within the two-decimal rounding of the output.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BoMotion.h"
#include "BoSkeleton.h"
#include "GbTransform.h"
#include "TestSupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

using testsupport::Bits;

namespace {

// A float drawn from a mix of shapes: ordinary angles, multiples of 90, signed zeros,
// tiny, huge and non-finite values.
float SpecialOrRandom(std::mt19937 &random) {
  static const float specials[] = {0.0f,      -0.0f,   90.0f,  -90.0f,  180.0f,
                                   -180.0f,   270.0f,  360.0f, 1890.0f, 2070.0f,
                                   1e-30f,    -1e-30f, 1e30f,  -3e38f,  INFINITY,
                                   -INFINITY, NAN,     5e-5f,  -5.7e-5f};
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_real_distribution<float> angle(-720.0f, 720.0f);
  switch (pick(random)) {
    case 0:
      return specials[random() % (sizeof specials / sizeof specials[0])];
    case 1:
      return 90.0f * static_cast<float>(static_cast<int>(random() % 81) - 40);
    case 2: {
      uint32_t bits = static_cast<uint32_t>(random());
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    default:
      return angle(random);
  }
}

TEST(BoMotionRotateDeg, MatchesTheLibraryBitForBit) {
  std::mt19937 random(7);
  const char axes[] = {'x', 'y', 'z'};
  for (int trial = 0; trial < 200000; trial++) {
    // Matrices as the conversion meets them (products of rotations, with exact zeros
    // of both signs), and now and then a special entry.
    BbMatrix start = GbXformClear();
    int steps = static_cast<int>(random() % 4);
    for (int k = 0; k < steps; k++) {
      GbXformRotateDeg(&start, SpecialOrRandom(random), axes[random() % 3]);
    }
    if (random() % 8 == 0) {
      start.mx[random() % 4][random() % 4] = SpecialOrRandom(random);
    }
    if (random() % 8 == 0) start.mx[random() % 4][random() % 4] = -0.0f;
    float angle = SpecialOrRandom(random);
    char axis = axes[random() % 3];
    BbMatrix expected = start, got = start;
    GbXformRotateDeg(&expected, angle, axis);
    BoMotionRotateDeg(&got, angle, axis);
    for (int i = 0; i < 4; i++) {
      for (int j = 0; j < 4; j++) {
        ASSERT_EQ(Bits(got.mx[i][j]), Bits(expected.mx[i][j]))
            << "trial " << trial << " angle " << angle << " about " << axis << " element "
            << i << j << ": got " << got.mx[i][j] << " expected " << expected.mx[i][j];
      }
    }
  }
}

TEST(BoMotionConvert, WrittenAnglesRebuildTheComposedRotation) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
  std::uniform_real_distribution<float> length(-30.0f, 30.0f);
  const int kJoints = 40, kRows = 50;

  BoHierarchy *hierarchy = BoHierarchyCreate();
  std::vector<std::string> axes(kJoints);
  for (int j = 0; j < kJoints; j++) {
    std::string name = "j";
    name += std::to_string(j);
    BoJoint *joint = BoJointCreate(name.c_str());
    BbVector oldPos = {{length(random), length(random), length(random)}};
    BbVector newPos = {{length(random), length(random), length(random)}};
    oldPos.vec[random() % 3] = 0.0f;  // often takes the position-turn path
    BoJointSetOldPosition(joint, oldPos);
    BoJointSetOldRotate(joint, {{angle(random), angle(random), angle(random)}});
    BoJointSetNewRotate(joint, {{angle(random), angle(random), angle(random)}});
    BoJointSetNewPosition(joint, newPos);
    BoJointSetMatrix(joint);
    axes[j] = "xyz";
    std::shuffle(axes[j].begin(), axes[j].end(), random);
    joint->firstChannel = 3 * j + 1;
    joint->lastChannel = 3 * j + 3;
    for (int i = 0; i < 3; i++) joint->Channels[i] = 3 + (axes[j][i] - 'x');
    BoHierarchyAddJoint(hierarchy, joint);
  }
  const int total = 3 * kJoints;

  std::vector<std::vector<float>> rows(kRows, std::vector<float>(total + 1));
  std::ostringstream motion;
  for (auto &row : rows) {
    for (int chn = 1; chn <= total; chn++) {
      char text[32];
      std::snprintf(text, sizeof text, "%.4f", (double)angle(random));
      row[chn] = std::strtof(text, nullptr);
      motion << text << (chn < total ? " " : "\n");
    }
  }
  TempDir dir;
  WriteFile(dir / ",walk.dat", motion.str());
  BbFileInfo *in = BoFileCreateInfo((dir / ",walk.dat").c_str(), "r");
  BbFileInfo *out = BoFileCreateInfo((dir / "walk.dat").c_str(), "w");
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(BoMotionConvert(hierarchy, total, in, out), BoMotionDone);
  BoFileDeleteInfo(in);
  BoFileDeleteInfo(out);

  std::istringstream written(ReadFile(dir / "walk.dat"));
  std::string line;
  for (int r = 0; r < kRows; r++) {
    ASSERT_TRUE(std::getline(written, line)) << "row " << r;
    std::istringstream values(line);
    std::vector<float> got(total + 1);
    for (int chn = 1; chn <= total; chn++) values >> got[chn];
    for (int j = 0; j < kJoints; j++) {
      BoJoint *joint = BoHierarchyGetJoint(hierarchy, j);
      BbMatrix expected = BoJointGetMatrix(joint);
      for (int i = 0; i < 3; i++) {
        GbXformRotateDeg(&expected, rows[r][joint->firstChannel + i], axes[j][i]);
      }
      float about[3];  // angle about x, y, z as written
      for (int i = 0; i < 3; i++) about[axes[j][i] - 'x'] = got[joint->firstChannel + i];
      BbMatrix rebuilt = GbXformClear();
      GbXformRotateDeg(&rebuilt, about[2], 'z');
      GbXformRotateDeg(&rebuilt, about[1], 'y');
      GbXformRotateDeg(&rebuilt, about[0], 'x');
      for (int a = 0; a < 3; a++) {
        for (int b = 0; b < 3; b++) {
          ASSERT_NEAR(rebuilt.mx[a][b], expected.mx[a][b], 5e-4)
              << "row " << r << " joint " << j << " (" << axes[j] << ") element " << a
              << b;
        }
      }
    }
  }
  EXPECT_FALSE(std::getline(written, line));
}

}  // namespace
