// BoXform: one transform held as a translation, a rotation (degrees about x, y, z) and
// a scale, each with a saved copy, a state per component and a saved flag per component.
//
// Index layout of `state` and `saveState`: 0..2 translation x, y, z; 3..5 rotation;
// 6..8 scale. State 1 means set and saved; 2..5 mean set (the number is kept as given);
// 0 means no state. A saveState entry becomes 1 when its component is saved with state 1
// and never falls back.
#ifndef TRELVIN_BOXFORM_H
#define TRELVIN_BOXFORM_H

#include "BbVector.h"

typedef struct _BoXform {
  BbVector translate;
  BbVector rotate;
  BbVector scale;
  BbVector tranSave;
  BbVector rotSave;
  BbVector sclSave;
  BbVector Tm;
  BbVector Rm;
  BbVector Sm;
  int state[9];
  int saveState[9];
} BoXform;

// A new transform: zero translation and rotation, unit scale, the same in the saved
// copies, Tm/Rm/Sm zero, every state and flag 0. Null if memory runs out.
BoXform *BoXformCreate(void);

// A new transform equal to *self in every field. self must be a record; null if memory
// runs out.
BoXform *BoXformCopy(const BoXform *self);

// Releases the record; a null record is ignored.
void BoXformDelete(BoXform *self);

// The current translation, rotation or scale. A null record reads as (0, 0, 0), scale
// included.
BbVector BoXformGetTrans(const BoXform *self);
BbVector BoXformGetRotate(const BoXform *self);
BbVector BoXformGetScale(const BoXform *self);

// Setters, one group each (translation, rotation, scale; BoXformSetScaleF gives one
// factor to x, y and z). state 1: the value is stored and saved, and the group's
// saveState entries become 1. state 2..5: the value is stored. Any other state: the
// values are left alone. In every case the group's three state entries become the
// given state (or 0 outside 1..5). Nothing outside the group changes; a null record is
// ignored.
void BoXformSetTrans(BoXform *self, BbVector trans, int state);
void BoXformSetRotate(BoXform *self, BbVector rotate, int state);
void BoXformSetScale(BoXform *self, BbVector scale, int state);
void BoXformSetScaleF(BoXform *self, float scale, int state);

#endif
