// BbVector: three-component vectors, 4x4 matrices (row vectors, p' = p x M) and the
// growable lists of vectors and integers.
//
// Every result is computed in double from the widened float operands and rounded to
// float once, when it is stored; the sums are written one term at a time so that their
// order is the documented one. The lists keep exactly `elements` entries: a write past
// the end reallocates to the new size, and an allocation that fails leaves the list as
// it was.
#include "BbVector.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

BbVector BbVectorCross(const BbVector *A, const BbVector *B) {
  const double ax = A->vec[0], ay = A->vec[1], az = A->vec[2];
  const double bx = B->vec[0], by = B->vec[1], bz = B->vec[2];
  BbVector result;
  result.vec[0] = (float)(ay * bz - az * by);
  result.vec[1] = (float)(az * bx - ax * bz);
  result.vec[2] = (float)(ax * by - ay * bx);
  return result;
}

void BbVectorNorm(BbVector *self) {
  const double length = BbVectorLen(*self);
  // No guard for a zero length: 0 / 0 gives NaN, as documented.
  self->vec[0] = (float)((double)self->vec[0] / length);
  self->vec[1] = (float)((double)self->vec[1] / length);
  self->vec[2] = (float)((double)self->vec[2] / length);
}

void BbVectorSub(BbVector *dest, BbVector v1, BbVector v2) {
  for (int i = 0; i < 3; i++)
    dest->vec[i] = (float)((double)v1.vec[i] - (double)v2.vec[i]);
}

void BbVectorAdd(BbVector *dest, BbVector v1, BbVector v2) {
  for (int i = 0; i < 3; i++)
    dest->vec[i] = (float)((double)v1.vec[i] + (double)v2.vec[i]);
}

float BbVectorLen(BbVector v) {
  const double x = v.vec[0], y = v.vec[1], z = v.vec[2];
  double sum = x * x;
  sum = sum + y * y;
  sum = sum + z * z;
  // The sum is rounded to float and its root taken in single precision.
  return sqrtf((float)sum);
}

void BbVectorMultBy(BbVector *v, float s) {
  for (int i = 0; i < 3; i++) v->vec[i] = (float)((double)v->vec[i] * (double)s);
}

void BBVectorDivBy(BbVector *v, float d) {
  for (int i = 0; i < 3; i++) v->vec[i] = (float)((double)v->vec[i] / (double)d);
}

BbMatrix BbMxIdent(void) {
  BbMatrix result;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) result.mx[i][j] = (i == j) ? 1.0f : 0.0f;
  }
  return result;
}

void BbMxMultMxVec(const BbMatrix *self, const BbVector *src, BbVector *dst) {
  const BbVector s = *src;  // src may be dst
  const double x = s.vec[0], y = s.vec[1], z = s.vec[2];
  for (int j = 0; j < 3; j++) {
    double sum = x * (double)self->mx[0][j];
    sum = sum + y * (double)self->mx[1][j];
    sum = sum + z * (double)self->mx[2][j];
    dst->vec[j] = (float)((double)self->mx[3][j] + sum);
  }
}

void BbMxMultLeft(BbMatrix *self, const BbMatrix *m) {
  // Built in a temporary and copied at the end, so m may be self.
  BbMatrix product;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      double sum = (double)m->mx[i][0] * (double)self->mx[0][j];
      sum = sum + (double)m->mx[i][1] * (double)self->mx[1][j];
      sum = sum + (double)m->mx[i][2] * (double)self->mx[2][j];
      sum = sum + (double)m->mx[i][3] * (double)self->mx[3][j];
      product.mx[i][j] = (float)sum;
    }
  }
  *self = product;
}

namespace {

// Resizes `array` from `elements` to `count` entries of `size` bytes, zero-filling the
// new ones. Returns the new array, or null when the size cannot be represented or the
// allocation fails; `array` is then still valid and unchanged.
void *GrowArray(void *array, int elements, int count, size_t size) {
  if ((size_t)count > SIZE_MAX / size) return nullptr;
  char *grown =
      static_cast<char *>(elements == 0 ? std::malloc((size_t)count * size)
                                        : std::realloc(array, (size_t)count * size));
  if (grown == nullptr) return nullptr;
  for (size_t byte = (size_t)elements * size; byte < (size_t)count * size; byte++) {
    grown[byte] = 0;
  }
  return grown;
}

// The index a read uses: clamped into 0 .. elements - 1 (elements > 0).
int ClampedIndex(int index, int elements) {
  if (index >= elements) return elements - 1;
  if (index < 0) return 0;
  return index;
}

}  // namespace

BbMVectors *BbMVectorsCreate(void) {
  BbMVectors *self = static_cast<BbMVectors *>(std::malloc(sizeof(BbMVectors)));
  if (self == nullptr) return nullptr;
  self->elements = 0;
  self->vectors = nullptr;
  return self;
}

BbMIntegers *BbMIntegersCreate(void) {
  BbMIntegers *self = static_cast<BbMIntegers *>(std::malloc(sizeof(BbMIntegers)));
  if (self == nullptr) return nullptr;
  self->elements = 0;
  self->array = nullptr;
  return self;
}

void BbMVectorsDelete(BbMVectors *self) {
  if (self == nullptr) return;
  std::free(self->vectors);
  std::free(self);
}

void BbMIntegersDelete(BbMIntegers *self) {
  if (self == nullptr) return;
  std::free(self->array);
  std::free(self);
}

BbVector BbMVectorGet(const BbMVectors *self, int index) {
  if (self->elements <= 0) {
    BbVector zero = {{0.0f, 0.0f, 0.0f}};
    return zero;
  }
  return self->vectors[ClampedIndex(index, self->elements)];
}

int BbMIntegerGet(const BbMIntegers *self, int index) {
  if (self->elements <= 0) return 0;
  return self->array[ClampedIndex(index, self->elements)];
}

int BbMVectorGetNum(const BbMVectors *self) {
  return self == nullptr ? 0 : self->elements;
}

int BbMIntegerGetNum(const BbMIntegers *self) {
  return self == nullptr ? 0 : self->elements;
}

void BbMVectorSet1(BbMVectors *self, int index, BbVector vector) {
  if (index < 0) index = 0;
  if (index >= self->elements) {
    // index + 1 entries must fit the int count.
    if (index == INT_MAX) return;
    void *grown = GrowArray(self->vectors, self->elements, index + 1, sizeof(BbVector));
    if (grown == nullptr) return;
    self->vectors = static_cast<BbVector *>(grown);
    self->elements = index + 1;
  }
  self->vectors[index] = vector;
}

void BbMIntegerSet1(BbMIntegers *self, int index, int element) {
  if (index < 0) index = 0;
  if (index >= self->elements) {
    if (index == INT_MAX) return;
    void *grown = GrowArray(self->array, self->elements, index + 1, sizeof(int));
    if (grown == nullptr) return;
    self->array = static_cast<int *>(grown);
    self->elements = index + 1;
  }
  self->array[index] = element;
}
