// The conversion in process: for random rest poses and random channel values, the
// written Z-Y-X angles rebuild the rotation that the joint's channels compose onto its
// correction matrix, within the two-decimal rounding of the output.
#include <algorithm>
#include <cmath>
#include <cstdlib>
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

namespace {

TEST(BoMotionConvert, WrittenAnglesRebuildTheComposedRotation) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
  std::uniform_real_distribution<float> length(-30.0f, 30.0f);
  const int kJoints = 40, kRows = 50;

  BoHierarchy *hierarchy = BoHierarchyCreate();
  std::vector<std::string> axes(kJoints);
  for (int j = 0; j < kJoints; j++) {
    BoJoint *joint = BoJointCreate(("j" + std::to_string(j)).c_str());
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
