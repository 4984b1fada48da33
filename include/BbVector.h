// BbVector: three-component vectors, 4x4 matrices and growable lists of both
// vectors and integers: the value types all of trelvin's geometry rests on.
//
// CONVENTIONS
// - Vectors and matrices are plain values: copy them by assignment; they own no memory.
// - Stored values are floats; every operation widens to double, computes in double and
//   rounds to float once per stored component. Sums are formed in the order each
//   function documents. The two square roots (length, normalisation) are single
//   precision.
// - Points are row vectors to the left of the matrix: p' = p x M, with a fourth
//   coordinate of 1 and no division by it. The translation sits in row 3.
// - Composing (BbMxMultLeft) means M <- W x M: the matrix composed last acts on a
//   point first.
// - Angles, where a triple holds them, are in degrees.
#ifndef TRELVIN_BBVECTOR_H
#define TRELVIN_BBVECTOR_H

typedef struct _BbVector {
  float vec[3];  // x, y, z
} BbVector;

typedef struct _BbMatrix {
  float mx[4][4];  // mx[row][column]
} BbMatrix;

// Right-handed cross product A x B. The result is built in a local, so it may be
// assigned to A or B.
BbVector BbVectorCross(const BbVector *A, const BbVector *B);

// Scales *self to unit length (length as BbVectorLen, then each component divided
// by it, x first). A zero vector is not guarded: all components become NaN.
void BbVectorNorm(BbVector *self);

// *dest = v1 - v2, component by component. The operands are copies, so dest may be
// the storage of either.
void BbVectorSub(BbVector *dest, BbVector v1, BbVector v2);

// *dest = v1 + v2, component by component; dest may alias either operand.
void BbVectorAdd(BbVector *dest, BbVector v1, BbVector v2);

// Euclidean length: (x*x + y*y) + z*z in double, rounded to float, then the
// single-precision square root.
float BbVectorLen(BbVector v);

// Multiplies each component of *v by s.
void BbVectorMultBy(BbVector *v, float s);

// Divides each component of *v by d. Division by zero is not guarded and gives the
// IEEE results (+-inf, NaN). Spelled with two capital Bs.
void BBVectorDivBy(BbVector *v, float d);

// The identity matrix.
BbMatrix BbMxIdent(void);

// *dst = *src transformed as a point by *self: for j = 0..2,
// dst[j] = M[3][j] + ((x*M[0][j] + y*M[1][j]) + z*M[2][j]). Column 3 is not read.
// src is copied first, so src and dst may be the same vector.
void BbMxMultMxVec(const BbMatrix *self, const BbVector *src, BbVector *dst);

// *self = (*m) x (*self): the row-by-column product summed left to right, each element
// rounded once. The product is built in a temporary, so m may be self (the target then
// holds its square).
void BbMxMultLeft(BbMatrix *self, const BbMatrix *m);

// Growable lists. The entry array exists exactly when elements > 0 and has exactly
// `elements` entries. Writes past the end grow the list to index + 1 entries (new
// entries between the old end and the index are zero); reads clamp the index into
// 0..elements-1.
typedef struct _BbMVectors {
  int elements;
  BbVector *vectors;
} BbMVectors;

typedef struct _BbMIntegers {
  int elements;
  int *array;
} BbMIntegers;

// A new, empty list (elements 0, no array).
BbMVectors *BbMVectorsCreate(void);
BbMIntegers *BbMIntegersCreate(void);

// Releases the array (if any) and the list. A null list is ignored.
void BbMVectorsDelete(BbMVectors *self);
void BbMIntegersDelete(BbMIntegers *self);

// The entry at index, clamped: index >= elements reads the last entry, a negative
// index reads entry 0. An empty list has no entry: the read returns a zero vector
// (or 0) and touches no memory outside the list.
BbVector BbMVectorGet(const BbMVectors *self, int index);
int BbMIntegerGet(const BbMIntegers *self, int index);

// Number of entries; 0 for a null list.
int BbMVectorGetNum(const BbMVectors *self);
int BbMIntegerGetNum(const BbMIntegers *self);

// Stores the value at index (a negative index means 0), growing the list to exactly
// index + 1 entries when index >= elements. If the array cannot be grown the list is
// left unchanged.
void BbMVectorSet1(BbMVectors *self, int index, BbVector vector);
void BbMIntegerSet1(BbMIntegers *self, int index, int element);

#endif
