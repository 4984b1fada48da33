// GbTransform: building transforms by composition, reading rotation matrices back as
// Euler angles, attitudes of frames given by three points, and the segment matrix of a
// body, a motion and an object transform.
//
// CONVENTIONS
// - Angles are in degrees everywhere except GbXformRotateRad, which takes radians.
// - Row vectors: p' = p x M, translation in row 3 (see BbVector.h).
// - Every composing operation builds a work matrix W and sets M <- W x M, so the
//   transform composed last acts on a point first. Starting from the identity, the calls
//   C1, C2, C3 leave W3 x W2 x W1.
// - Axes are the characters 'x', 'y', 'z' (upper case accepted).
// - An Euler triple read for an order "ABC" holds in vec[0], vec[1], vec[2] the angles
//   about A, B and C: composing onto the identity a rotation about A by vec[0], then
//   about B by vec[1], then about C by vec[2] rebuilds the matrix.
// - Rotation arithmetic is in double; each stored entry is rounded to float once.
#ifndef TRELVIN_GBTRANSFORM_H
#define TRELVIN_GBTRANSFORM_H

#include "BbVector.h"
#include "BoXform.h"

// Unit axes, local to every module that includes this header.
static const BbVector xAxis = {{1.0f, 0.0f, 0.0f}};
static const BbVector yAxis = {{0.0f, 1.0f, 0.0f}};
static const BbVector zAxis = {{0.0f, 0.0f, 1.0f}};

// The identity matrix.
BbMatrix GbXformClear(void);

// Composes a rotation by `angle` radians about `axis` onto *self. Sine and cosine are
// taken in double; a value strictly between -1e-6 and 1e-6 snaps to +0, so multiples of
// 90 degrees give exact 0 and +-1 entries. Any other axis character prints
// "unknown axis" (no newline) and leaves *self unchanged.
void GbXformRotateRad(BbMatrix *self, float angle, char axis);

// As GbXformRotateRad, with the angle in degrees: ((double)angle * pi) / 180 rounded to
// float first.
void GbXformRotateDeg(BbMatrix *self, float angle, char axis);

// Composes a translation by *t onto *self: a point is moved by t before the transform
// already held.
void GbXformTranslate(BbMatrix *self, const BbVector *t);

// Composes a uniform scale by s (rows 0 to 2 of *self are multiplied by s).
void GbXformScale(BbMatrix *self, float s);

// Composes a per-axis scale by s->vec[0], s->vec[1], s->vec[2].
void GbXformScaleVec(BbMatrix *self, const BbVector *s);

// Reads the upper 3x3 of R back as three angles in degrees for the order `axis`, one of
// "XYZ", "ZXY", "YZX", "YXZ", "ZYX" (exact, case-sensitive). The middle angle lies in
// [-90, 90], the outer two in [-180, 180]; an element of exactly +-1 in the order's test
// position takes the gimbal-lock branch. Returns 1; for any other order prints
// "BbXfChangeRtOrder: no such option %s.\n", returns 0 and leaves *angle untouched.
int BbXfChangeRotOrder(BbVector *angle, const char *axis, const float R[4][4]);

// Position, attitude and main-axis length of a frame given by three points.
typedef struct _GbXfSixDOF {
  BbVector position;  // points[0] as passed in
  BbVector attitude;  // roll, pitch, yaw in degrees
  float length;       // distance from points[0] to points[1]
} GbXfSixDOF;

// Attitude of the frame points[0] (origin), points[1] (main point), points[2] (third
// point): returns (roll about x, pitch about y, yaw about z) in degrees, such that
// rotating the identity by yaw about z, then roll about x, then pitch about y carries +y
// to the main direction. Degenerate frames give zero angles. The three points are moved
// in place: points[0] ends at the origin and points[1] on +y.
BbVector GbXfGetRollPitchYaw(BbVector *points);

// The same frame measured against +x: returns the angles about x, y, z such that
// rotating the identity about z, then y, then x carries +x to the main direction. The
// points are moved in place: points[1] ends on +x.
BbVector GbXfGetAliasRotations(BbVector *points);

// Position (points[0] before any move), attitude (GbXfGetRollPitchYaw) and the length
// of the main direction. Moves the points as GbXfGetRollPitchYaw does.
GbXfSixDOF GbXfGetSixDOF(BbVector *points);

// The matrix of a body segment: for each record in the order body, motion, object,
// composes its translation, its rotation about z, x, y (vec[2], vec[0], vec[1]) and its
// scale. A point of the object is thus transformed by the object record first, then the
// motion, then the body. A null record reads as all zeros, zero scale included.
BbMatrix GbXfBuildBodyMotionSegment(const BoXform *bodyXf, const BoXform *motionXf,
                                    const BoXform *objectXf);

#endif
