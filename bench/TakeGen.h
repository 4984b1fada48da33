// A realistic take for benchmarks and comparison tests: 60 joints (a root with
// xpos ypos zpos zrot yrot xrot, then 59 joints with three rotation channels in mixed
// orders), bodies whose rest poses differ, and rows of values with four decimals.
#ifndef TRELVIN_TAKEGEN_H
#define TRELVIN_TAKEGEN_H

#include <string>

constexpr int kTakeJoints = 60;
constexpr int kTakeChannels = 6 + 3 * (kTakeJoints - 1);

struct TakeJoint {
  float oldPos[3], newPos[3], oldRot[3], newRot[3];
  int firstChannel;
  int count;     // channels
  int codes[6];  // channel codes: 0..2 positions, 3..5 rotations about x, y, z
};

// The joints of the take made with `seed`, in body order.
void TakeLayout(unsigned seed, TakeJoint joints[kTakeJoints]);

// Writes old.bod, new.bod, take.cap (naming take.dat) and take.dat with `rows` rows into
// the existing directory `dir`. `odd` mixes in tokens of unusual shapes (exponents,
// signs, inf, nan, long digit runs, short rows, carriage returns). Returns false if a
// file cannot be written.
bool TakeWrite(const std::string &dir, long rows, unsigned seed, bool odd);

#endif
