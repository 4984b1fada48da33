// BoSkeleton: joint records, the hierarchy that lists them in order of first
// appearance, each joint's correction matrix, and the program's warning output used by
// the motion library.
//
// Joints are made once per distinct name and live until the process ends. The hierarchy
// grows by exactly one slot per joint and is searched from the start; a run has a few
// dozen joints, so nothing faster is needed.
#include "BoSkeleton.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GbTransform.h"

void BoDialogWarning(const char *type, const char *message) {
  std::printf("%s:\t%s\n", type, message);
}

BoHierarchy *BoHierarchyCreate(void) {
  BoHierarchy *self = static_cast<BoHierarchy *>(std::malloc(sizeof(BoHierarchy)));
  if (self == nullptr) return nullptr;
  self->njoints = 0;
  self->joints = nullptr;
  return self;
}

BoJoint *BoHierarchyFindJoint(const BoHierarchy *self, const char *jointName) {
  for (int i = 0; i < self->njoints; i++) {
    if (std::strcmp(self->joints[i]->name, jointName) == 0) return self->joints[i];
  }
  return nullptr;
}

void BoHierarchyAddJoint(BoHierarchy *self, BoJoint *joint) {
  size_t count = static_cast<size_t>(self->njoints) + 1;
  BoJoint **joints =
      static_cast<BoJoint **>(std::realloc(self->joints, count * sizeof(BoJoint *)));
  if (joints == nullptr) return;
  joints[count - 1] = joint;
  self->joints = joints;
  self->njoints = static_cast<int>(count);
}

int BoHierarchyGetNumJoints(const BoHierarchy *self) {
  return self->njoints;
}

BoJoint *BoHierarchyGetJoint(const BoHierarchy *self, int joint) {
  return self->joints[joint];
}

BoJoint *BoJointCreate(const char *jointName) {
  BoJoint *self = static_cast<BoJoint *>(std::calloc(1, sizeof(BoJoint)));
  if (self == nullptr) return nullptr;
  size_t length = std::strlen(jointName);
  self->name = static_cast<char *>(std::malloc(length + 1));
  if (self->name == nullptr) {
    std::free(self);
    return nullptr;
  }
  std::memcpy(self->name, jointName, length + 1);
  // calloc has zeroed the flags, the rest vectors, the channel range, every Channels
  // slot (0 is a position code, never a rotation), frames and the pointers.
  self->mx = BbMxIdent();
  return self;
}

namespace {

// Each component through its two-decimal text and back: one rounding to the text, one
// to float, and the sign of a negative value that rounds to zero is kept (-0.00).
BbVector RoundPosition(BbVector pos) {
  for (int i = 0; i < 3; i++) {
    char text[512];
    std::snprintf(text, sizeof text, "%.2f", (double)pos.vec[i]);
    pos.vec[i] = (float)std::atof(text);
  }
  return pos;
}

}  // namespace

void BoJointSetOldPosition(BoJoint *self, BbVector pos) {
  self->oldPos = RoundPosition(pos);
}

void BoJointSetOldRotate(BoJoint *self, BbVector rotate) {
  self->oldRot = rotate;
}

void BoJointSetNewPosition(BoJoint *self, BbVector pos) {
  self->newPos = RoundPosition(pos);
}

void BoJointSetNewRotate(BoJoint *self, BbVector rotate) {
  self->newRot = rotate;
  self->done = 1;
}

BbMatrix BoJointGetMatrix(const BoJoint *self) {
  return self->mx;
}

void BoJointSetMatrix(BoJoint *self) {
  // Position test: a component that is zero in the old body and not in the new one means
  // the joint's rest position left that axis. Negative zero counts as zero.
  int positionsAgree = 1;
  for (int i = 0; i < 3; i++) {
    if (self->oldPos.vec[i] == 0.0f && self->newPos.vec[i] != 0.0f) positionsAgree = 0;
  }

  self->mx = GbXformClear();
  if (!positionsAgree) {
    // The attitude operation moves its points, so they are set afresh for each call.
    BbVector points[3] = {{{0.0f, 0.0f, 0.0f}}, self->oldPos, {{0.0f, 0.0f, 1.0f}}};
    BbVector oldAttitude = GbXfGetRollPitchYaw(points);
    BbVector newPoints[3] = {{{0.0f, 0.0f, 0.0f}}, self->newPos, {{0.0f, 0.0f, 1.0f}}};
    BbVector newAttitude = GbXfGetRollPitchYaw(newPoints);

    // Att(new), then the inverse of Att(old): turns the old direction into the new one.
    GbXformRotateDeg(&self->mx, newAttitude.vec[2], 'z');
    GbXformRotateDeg(&self->mx, newAttitude.vec[0], 'x');
    GbXformRotateDeg(&self->mx, newAttitude.vec[1], 'y');
    GbXformRotateDeg(&self->mx, -oldAttitude.vec[1], 'y');
    GbXformRotateDeg(&self->mx, -oldAttitude.vec[0], 'x');
    GbXformRotateDeg(&self->mx, -oldAttitude.vec[2], 'z');
  }

  // The inverse of the new rest rotation, then the old rest rotation; composed last, so
  // a point passes through the old rest rotation first.
  GbXformRotateDeg(&self->mx, -self->newRot.vec[2], 'z');
  GbXformRotateDeg(&self->mx, -self->newRot.vec[1], 'y');
  GbXformRotateDeg(&self->mx, -self->newRot.vec[0], 'x');
  GbXformRotateDeg(&self->mx, self->oldRot.vec[0], 'x');
  GbXformRotateDeg(&self->mx, self->oldRot.vec[1], 'y');
  GbXformRotateDeg(&self->mx, self->oldRot.vec[2], 'z');

  // Twist limit: a z angle beyond +-150 degrees is composed away once. The extra
  // rotation acts first on a point, like every other.
  BbVector angles = {{0.0f, 0.0f, 0.0f}};
  BbXfChangeRotOrder(&angles, "ZXY", self->mx.mx);
  if (angles.vec[0] > 150.0f || angles.vec[0] < -150.0f) {
    GbXformRotateDeg(&self->mx, -angles.vec[0], 'z');
  }
}

void BoJointCreateXforms(BoJoint *self, int frames) {
  if (self == nullptr) return;
  self->Xf = nullptr;
  self->frames = 0;
  if (frames <= 0) return;
  BoXform **xforms = static_cast<BoXform **>(
      std::malloc(static_cast<size_t>(frames) * sizeof(BoXform *)));
  if (xforms == nullptr) return;
  for (int frame = 0; frame < frames; frame++) xforms[frame] = BoXformCreate();
  self->Xf = xforms;
  self->frames = frames;
}
