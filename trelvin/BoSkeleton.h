// BoSkeleton: the joints of a run, the list that holds them in order of first
// appearance, each joint's correction matrix, and the program's warning output.
//
// Joints, their names, the joint array and the hierarchy live until the process ends;
// nothing here frees them.
#ifndef TRELVIN_BOSKELETON_H
#define TRELVIN_BOSKELETON_H

#include "BbVector.h"
#include "BoFileIO.h"
#include "BoXform.h"

typedef struct _BoJoint {
  char *name;        // own copy of the joint's name
  int done;          // 1 once the new rest rotation is set
  int match;         // kept for the record layout; nothing reads it
  BbVector oldPos;   // old rest position, each component rounded to two decimals
  BbVector newPos;   // new rest position, rounded the same way
  BbVector oldRot;   // old rest rotation, degrees about x, y, z
  BbVector newRot;   // new rest rotation, degrees about x, y, z
  BbMatrix mx;       // correction matrix
  char *rotOrder;    // rotation order text; unused, null
  int firstChannel;  // first motion column of this joint (columns count from 1)
  int lastChannel;   // last motion column, inclusive
  int Channels[12];  // channel codes from firstChannel on: 0..2 x/y/z position,
                     // 3..5 x/y/z rotation
  int frames;        // number of entries in Xf
  BoXform **Xf;      // one transform per frame
} BoJoint;

typedef struct _BoHierarchy {
  int njoints;
  BoJoint **joints;  // in order of addition
} BoHierarchy;

// A new, empty hierarchy.
BoHierarchy *BoHierarchyCreate(void);

// The first joint whose name equals jointName exactly (case-sensitive), or null.
BoJoint *BoHierarchyFindJoint(const BoHierarchy *self, const char *jointName);

// Appends joint; duplicates are not refused (look the name up first).
void BoHierarchyAddJoint(BoHierarchy *self, BoJoint *joint);

int BoHierarchyGetNumJoints(const BoHierarchy *self);

// The joint at index; requires 0 <= joint < njoints.
BoJoint *BoHierarchyGetJoint(const BoHierarchy *self, int joint);

// A new joint with its own copy of jointName: zero rest values, identity matrix,
// done 0, channel range 0..0, every Channels slot and frames 0, no transforms.
BoJoint *BoJointCreate(const char *jointName);

// Store a rest value. Positions are rounded per component to two decimals (through the
// text "%.2f" and back, so -0.004 becomes -0.0); rotations are stored unchanged.
// BoJointSetNewRotate also sets done to 1.
void BoJointSetOldPosition(BoJoint *self, BbVector pos);
void BoJointSetOldRotate(BoJoint *self, BbVector rotate);
void BoJointSetNewPosition(BoJoint *self, BbVector pos);
void BoJointSetNewRotate(BoJoint *self, BbVector rotate);

// A copy of the correction matrix (the identity until BoJointSetMatrix has run).
BbMatrix BoJointGetMatrix(const BoJoint *self);

// Rebuilds the correction matrix from the four rest values: the old rest rotation
// followed by the inverse of the new one, with the turn from the old position's
// direction to the new one's when a position component that was zero in the old body is
// not zero in the new body; a z twist beyond +-150 degrees is then composed away once.
void BoJointSetMatrix(BoJoint *self);

// Gives the joint `frames` new transforms (BoXformCreate) in a fresh array and sets
// frames. A negative count makes none: Xf null, frames 0. A null joint is ignored; an
// earlier array is not released.
void BoJointCreateXforms(BoJoint *self, int frames);

#endif
