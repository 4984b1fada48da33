// BoXform: transform records holding a translation, a rotation and a scale with saved
// copies, a state per component and a saved flag per component.
//
// The record is a plain value without pointers. The four setters share one scheme,
// applied to one group of three components (translation 0..2, rotation 3..5, scale
// 6..8): state 1 saves and stores, 2..5 store, anything else stores nothing and clears
// the group's states. Saved flags are only ever raised.
#include "BoXform.h"

#include <cstdlib>

namespace {

const int kTranslateGroup = 0;
const int kRotateGroup = 3;
const int kScaleGroup = 6;

// The common setter: `current` and `saved` are the group's vectors, `first` the index
// of its first state entry.
void SetGroup(BoXform *self, BbVector *current, BbVector *saved, int first,
              BbVector value, int state) {
  if (state == 1) {
    *saved = value;
    for (int i = first; i < first + 3; i++) self->saveState[i] = 1;
  }
  if (state >= 1 && state <= 5) {
    *current = value;
  } else {
    state = 0;
  }
  for (int i = first; i < first + 3; i++) self->state[i] = state;
}

}  // namespace

BoXform *BoXformCreate(void) {
  BoXform *self = static_cast<BoXform *>(std::malloc(sizeof(BoXform)));
  if (self == nullptr) return nullptr;
  const BbVector zero = {{0.0f, 0.0f, 0.0f}};
  const BbVector one = {{1.0f, 1.0f, 1.0f}};
  self->translate = zero;
  self->rotate = zero;
  self->scale = one;
  self->tranSave = zero;
  self->rotSave = zero;
  self->sclSave = one;
  self->Tm = zero;
  self->Rm = zero;
  self->Sm = zero;
  for (int i = 0; i < 9; i++) {
    self->state[i] = 0;
    self->saveState[i] = 0;
  }
  return self;
}

BoXform *BoXformCopy(const BoXform *self) {
  BoXform *copy = static_cast<BoXform *>(std::malloc(sizeof(BoXform)));
  if (copy == nullptr) return nullptr;
  *copy = *self;
  return copy;
}

void BoXformDelete(BoXform *self) {
  std::free(self);
}

BbVector BoXformGetTrans(const BoXform *self) {
  if (self == nullptr) return BbVector{{0.0f, 0.0f, 0.0f}};
  return self->translate;
}

BbVector BoXformGetRotate(const BoXform *self) {
  if (self == nullptr) return BbVector{{0.0f, 0.0f, 0.0f}};
  return self->rotate;
}

// A missing record has no unit scale: it reads as zeros like the other two getters.
BbVector BoXformGetScale(const BoXform *self) {
  if (self == nullptr) return BbVector{{0.0f, 0.0f, 0.0f}};
  return self->scale;
}

void BoXformSetTrans(BoXform *self, BbVector trans, int state) {
  if (self == nullptr) return;
  SetGroup(self, &self->translate, &self->tranSave, kTranslateGroup, trans, state);
}

void BoXformSetRotate(BoXform *self, BbVector rotate, int state) {
  if (self == nullptr) return;
  SetGroup(self, &self->rotate, &self->rotSave, kRotateGroup, rotate, state);
}

void BoXformSetScale(BoXform *self, BbVector scale, int state) {
  if (self == nullptr) return;
  SetGroup(self, &self->scale, &self->sclSave, kScaleGroup, scale, state);
}

void BoXformSetScaleF(BoXform *self, float scale, int state) {
  if (self == nullptr) return;
  const BbVector value = {{scale, scale, scale}};
  SetGroup(self, &self->scale, &self->sclSave, kScaleGroup, value, state);
}
