// Fuzz target: the motion row conversion on fuzzed joints. The input's tail describes
// the row width and up to six joints (channel range, channel codes, rest positions and
// rotations, which give the correction matrix); the rest is the motion file. The
// streamed and the plain conversion must agree byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "MotionDiff.h"

namespace {

// Row widths and channel numbers: mostly small, sometimes at the limits.
int ConsumeChannel(FuzzedDataProvider *input, int low, int high) {
  switch (input->ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return INT_MIN;
    case 1:
      return INT_MAX;
    case 2:
      return BO_MOTION_MAX_CHANNELS + 1;
    default:
      return input->ConsumeIntegralInRange<int>(low, high);
  }
}

float ConsumeValue(FuzzedDataProvider *input) {
  static const float table[] = {0.0f,
                                -0.0f,
                                1.0f,
                                -1.0f,
                                0.004f,
                                15.0f,
                                90.0f,
                                -90.0f,
                                150.5f,
                                180.0f,
                                270.0f,
                                1e-7f,
                                1e30f,
                                __builtin_inff(),
                                -__builtin_inff(),
                                __builtin_nanf("")};
  unsigned pick = input->ConsumeIntegral<uint8_t>();
  if (pick < 2 * (sizeof table / sizeof table[0])) return table[pick / 2];
  if (pick < 200)
    return static_cast<float>(input->ConsumeIntegralInRange<int>(-400, 400));
  uint32_t bits = input->ConsumeIntegral<uint32_t>();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

BbVector ConsumeVector(FuzzedDataProvider *input) {
  BbVector v;
  for (float &component : v.vec) component = ConsumeValue(input);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzsupport::MakeBaseDir(64 << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider input(data, size);
  int totalChannels = input.ConsumeIntegralInRange<int>(0, 7) == 0
                          ? ConsumeChannel(&input, -3, 40)
                          : input.ConsumeIntegralInRange<int>(0, 40);
  BoHierarchy *hierarchy = BoHierarchyCreate();
  int njoints = input.ConsumeIntegralInRange<int>(0, 6);
  for (int j = 0; j < njoints; j++) {
    BoJoint *joint = BoJointCreate("j");
    joint->firstChannel = ConsumeChannel(&input, -3, 44);
    joint->lastChannel = ConsumeChannel(&input, -3, 44);
    for (int &code : joint->Channels) code = input.ConsumeIntegralInRange<int>(-1, 7);
    if (input.ConsumeBool()) {
      BoJointSetOldPosition(joint, ConsumeVector(&input));
      BoJointSetOldRotate(joint, ConsumeVector(&input));
      BoJointSetNewRotate(joint, ConsumeVector(&input));
      BoJointSetNewPosition(joint, ConsumeVector(&input));
      BoJointSetMatrix(joint);
    }
    BoHierarchyAddJoint(hierarchy, joint);
  }
  std::string motion = input.ConsumeRemainingBytesAsString();
  motiondiff::Compare(hierarchy, totalChannels, motion, data, size);

  // Joints have no destroyer; the run would keep them until the process ends.
  for (int j = 0; j < hierarchy->njoints; j++) {
    std::free(hierarchy->joints[j]->name);
    std::free(hierarchy->joints[j]);
  }
  std::free(hierarchy->joints);
  std::free(hierarchy);
  return 0;
}
