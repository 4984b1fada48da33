// BoMotion: the motion file conversion. Every row of the moved-aside motion file is read,
// every joint's rotation channels are composed onto the joint's correction matrix and
// written back as Z-Y-X Euler angles, and the row is written with two decimals per value.
#ifndef TRELVIN_BOMOTION_H
#define TRELVIN_BOMOTION_H

#include "BoFileIO.h"
#include "BoSkeleton.h"

// The largest row width the conversion accepts.
constexpr int BO_MOTION_MAX_CHANNELS = 1000000;

typedef enum _BoMotionResult {
  BoMotionDone,        // every row converted and written
  BoMotionReadError,   // a read of `in` failed; the "File I/O" warning has been printed
  BoMotionWriteError,  // a write to `out` failed (nothing printed)
  BoMotionNoRow        // totalChannels too large or the row could not be allocated
} BoMotionResult;

// Composes a rotation by `angle` degrees about `axis` onto *self, bit for bit as
// GbXformRotateDeg does, for every input. Where the angle and every entry of *self are
// finite it skips the products with the work matrix's zero entries: adding a zero
// term leaves a nonzero double sum unchanged, so only an element whose sum comes out
// zero (where the zero's sign depends on the skipped terms) is summed in full.
// Anything else is handed to GbXformRotateDeg.
void BoMotionRotateDeg(BbMatrix *self, float angle, char axis);

// Reads R back as Z-Y-X angles bit for bit as BbXfChangeRotOrder(angle, "ZYX", R) does:
// vec[0] about z, vec[1] about y, vec[2] about x. Only the entries whose `wanted` flag
// is set are written (each is computed on its own); the others are left untouched.
void BoMotionReadZYX(BbVector *angle, const float R[4][4], const bool wanted[3]);

// The per-row work of a conversion, fixed before the first row: for each joint with a
// rotation channel inside columns 1..totalChannels, its correction matrix and those
// channels in slot order.
typedef struct _BoMotionPlan BoMotionPlan;

// The plan for `hierarchy` and a row of totalChannels channels (0 or more); null if
// memory runs out.
BoMotionPlan *BoMotionPlanCreate(const BoHierarchy *hierarchy, int totalChannels);

// Corrects one row in place: channels[1..totalChannels], joint by joint in hierarchy
// order, each joint's rotation channels replaced by the Z-Y-X angles of the rotation
// they compose onto its correction matrix, bit for bit as GbXformRotateDeg and
// BbXfChangeRotOrder give them.
void BoMotionPlanCorrect(const BoMotionPlan *self, float *channels);

void BoMotionPlanDelete(BoMotionPlan *self);

// Converts every line of in->stream into one line of out->stream: channels 1 to
// totalChannels (the first totalChannels numbers of the line, read as "%f" reads them;
// channels a line lacks are 0) are corrected joint by joint in hierarchy order and each
// is written as "% 4.2f\t", then "\n". A totalChannels below 0 counts as 0. Only columns
// 1..totalChannels and a joint's first 12 slots take part; slots whose code is not a
// rotation pass through. One line is held at a time, whatever its length. On a read
// error in->line is the number of lines read before it. `out` is flushed but not closed.
BoMotionResult BoMotionConvert(const BoHierarchy *hierarchy, int totalChannels,
                               BbFileInfo *in, BbFileInfo *out);

#endif
