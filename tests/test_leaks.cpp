// The destroyers give back everything their creators and users allocated. These cases
// exercise every record that has a destroyer, on its ordinary and its failure paths;
// the sanitized build runs this group alone with leak detection on (the rest of the
// suite makes joints, which live until the process ends by design), so a block left
// unreachable here fails that run.
#include <string>

#include "BbVector.h"
#include "BoFileIO.h"
#include "BoMotion.h"
#include "BoSkeleton.h"
#include "BoXform.h"
#include "TestSupport.h"

using testsupport::StdoutCapture;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Joints are never released; a hierarchy held here stays reachable, so the leak check
// sees only what the conversion itself allocates.
BoHierarchy *keptHierarchy = nullptr;

const BoHierarchy *OneJointHierarchy() {
  if (keptHierarchy == nullptr) {
    keptHierarchy = BoHierarchyCreate();
    BoJoint *joint = BoJointCreate("hip");
    joint->firstChannel = 1;
    joint->lastChannel = 3;
    joint->Channels[0] = 5;
    joint->Channels[1] = 4;
    joint->Channels[2] = 3;
    BoHierarchyAddJoint(keptHierarchy, joint);
  }
  return keptHierarchy;
}

TEST(Destroyers, FileRecordsOnEveryPath) {
  TempDir dir;
  WriteFile(dir / "walk.bod", "a\nb\nc");
  StdoutCapture capture;
  capture.Start();
  BbFileInfo *read = BoFileCreateInfo((dir / "walk.bod").c_str(), "r");
  while (read != nullptr && BoFileReadLine(read) == BoFileLine) {
  }
  BbFileInfo *write = BoFileCreateInfo((dir / "out.dat").c_str(), "w");
  // A failed open, with and without a search over registered directories (none are
  // registered here), releases the half-made record itself.
  BbFileInfo *missing = BoFileCreateInfo((dir / "missing.bod").c_str(), "r");
  BbFileInfo *missingObject = BoFileCreateInfo((dir / "missing.obj").c_str(), "r");
  // A read error leaves the record valid for its destroyer.
  BbFileInfo *directory = BoFileCreateInfo(dir.path.c_str(), "r");
  BoFileReadResult failed = directory ? BoFileReadLine(directory) : BoFileLine;
  std::string out = capture.Stop();
  ASSERT_NE(read, nullptr);
  ASSERT_NE(write, nullptr);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(missingObject, nullptr);
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(failed, BoFileError);
  EXPECT_EQ(read->line, 3);
  BoFileDeleteInfo(read);
  BoFileDeleteInfo(write);
  BoFileDeleteInfo(directory);
  BoFileDeleteInfo(nullptr);
}

TEST(Destroyers, TransformRecordsAndTheirCopies) {
  BoXform *xform = BoXformCreate();
  ASSERT_NE(xform, nullptr);
  BoXformSetRotate(xform, BbVector{{1.0f, 2.0f, 3.0f}}, 1);
  BoXform *copy = BoXformCopy(xform);
  ASSERT_NE(copy, nullptr);
  BoXformDelete(xform);
  BoXformDelete(copy);
  BoXformDelete(nullptr);
}

TEST(Destroyers, ListsAfterGrowingAndEmpty) {
  BbMVectors *vectors = BbMVectorsCreate();
  BbMIntegers *integers = BbMIntegersCreate();
  for (int index : {0, 5, 2, 100, 1000}) {
    BbMVectorSet1(vectors, index, BbVector{{1.0f, 2.0f, 3.0f}});
    BbMIntegerSet1(integers, index, index);
  }
  EXPECT_EQ(BbMVectorGetNum(vectors), 1001);
  EXPECT_EQ(BbMIntegerGetNum(integers), 1001);
  BbMVectorsDelete(vectors);
  BbMIntegersDelete(integers);
  BbMVectorsDelete(BbMVectorsCreate());
  BbMIntegersDelete(BbMIntegersCreate());
}

TEST(Destroyers, EveryTokenOfGetstringIsTheCallers) {
  char line[] = "  abc,,def , ghi\n";
  std::string joined;
  int offset = 0;
  const int length = static_cast<int>(sizeof line) - 1;
  while (offset < length) {
    int characters = 0;
    char *token = getstring(line + offset, ',', &characters);
    ASSERT_NE(token, nullptr);
    joined += std::string(token) + "|";
    std::free(token);
    offset += characters;
  }
  EXPECT_EQ(joined, "abc|def |ghi|");
  char empty[] = "";
  int characters = 0;
  std::free(getstring(empty, ' ', &characters));
  EXPECT_EQ(characters, 1);
}

// The conversion allocates its row, plan and block buffers once and frees them at every
// end: a completed run (with a line longer than the input block, which grows it), a
// read error, and a row too wide to allocate.
TEST(Destroyers, ConversionBuffersOnEveryEnd) {
  TempDir dir;
  std::string longLine(3 << 20, ' ');
  longLine += "10 20 30\n";
  WriteFile(dir / "in.dat", "1 2 3\n" + longLine + "4 5 6");
  struct Case {
    const char *what;
    std::string input;
    int totalChannels;
    BoMotionResult result;
  } cases[] = {
      {"completed", dir / "in.dat", 3, BoMotionDone},
      {"read error", dir.path, 3, BoMotionReadError},
      {"too wide", dir / "in.dat", BO_MOTION_MAX_CHANNELS + 1, BoMotionNoRow},
  };
  for (const Case &c : cases) {
    StdoutCapture capture;
    capture.Start();
    BbFileInfo *in = BoFileCreateInfo(c.input.c_str(), "r");
    BbFileInfo *out = BoFileCreateInfo((dir / "out.dat").c_str(), "w");
    BoMotionResult result = BoMotionDone;
    if (in != nullptr && out != nullptr)
      result = BoMotionConvert(OneJointHierarchy(), c.totalChannels, in, out);
    capture.Stop();
    ASSERT_NE(in, nullptr) << c.what;
    ASSERT_NE(out, nullptr) << c.what;
    EXPECT_EQ(result, c.result) << c.what;
    BoFileDeleteInfo(in);
    BoFileDeleteInfo(out);
  }
}

}  // namespace
