// Vectors, 4x4 matrices and the growable lists: exact results, IEEE behaviour of the
// unguarded divisions, aliasing, summation order, and list growth and clamping.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "BbVector.h"
#include "TestSupport.h"

using testsupport::Bits;
using testsupport::Show;

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer ends the process when an allocation fails; the growth test below needs
// the allocator's null, which the lists are built to survive.
extern "C" const char *__asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace {

void ExpectVector(const BbVector &actual, float x, float y, float z, const char *what) {
  SCOPED_TRACE(what);
  EXPECT_SAME_BITS(actual.vec[0], x);
  EXPECT_SAME_BITS(actual.vec[1], y);
  EXPECT_SAME_BITS(actual.vec[2], z);
}

BbVector Vec(float x, float y, float z) {
  return BbVector{{x, y, z}};
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Floats of every kind: ordinary values over many magnitudes, signed zeros, infinities,
// NaN, subnormals and the extremes.
struct FloatSource {
  std::mt19937 engine{20240611u};
  float Next() {
    const float specials[] = {0.0f, -0.0f,  1.0f,    -1.0f,   kInf,     -kInf,
                              kNaN, 1e-45f, -3e-39f, 3.4e38f, -3.4e38f, 0.5f};
    switch (engine() % 8) {
      case 0:
        return specials[engine() % (sizeof specials / sizeof specials[0])];
      case 1: {
        uint32_t bits = engine();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
      default: {
        std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
        std::uniform_int_distribution<int> exponent(-30, 30);
        return std::ldexp(mantissa(engine), exponent(engine));
      }
    }
  }
  BbVector NextVector() { return Vec(Next(), Next(), Next()); }
};

// Reference arithmetic, written directly from the formulas: double operands, one
// rounding per stored value.
BbVector RefCross(BbVector a, BbVector b) {
  const double ax = a.vec[0], ay = a.vec[1], az = a.vec[2];
  const double bx = b.vec[0], by = b.vec[1], bz = b.vec[2];
  return Vec((float)(ay * bz - az * by), (float)(az * bx - ax * bz),
             (float)(ax * by - ay * bx));
}

float RefLen(BbVector v) {
  const double x = v.vec[0], y = v.vec[1], z = v.vec[2];
  return sqrtf((float)((x * x + y * y) + z * z));
}

// ---------------------------------------------------------------------------------
// Vectors

TEST(BbVectorCross, RightHandedAndAssignableToAnOperand) {
  struct Case {
    BbVector a, b, expected;
  };
  const Case cases[] = {
      {Vec(1, 0, 0), Vec(0, 1, 0), Vec(0, 0, 1)},
      {Vec(0, 1, 0), Vec(1, 0, 0), Vec(0, 0, -1)},
      {Vec(0, 1, 0), Vec(0, 0, 1), Vec(1, 0, 0)},
      {Vec(2, 3, 4), Vec(5, 6, 7), Vec(-3, 6, -3)},
  };
  for (const Case &c : cases) {
    ExpectVector(BbVectorCross(&c.a, &c.b), c.expected.vec[0], c.expected.vec[1],
                 c.expected.vec[2], "cross");
    BbVector a = c.a, b = c.b;
    a = BbVectorCross(&a, &b);
    ExpectVector(a, c.expected.vec[0], c.expected.vec[1], c.expected.vec[2],
                 "assigned to A");
  }
}

TEST(BbVectorLen, ExactForPythagoreanTriples) {
  EXPECT_SAME_BITS(BbVectorLen(Vec(3, 4, 12)), 13.0f);
  EXPECT_SAME_BITS(BbVectorLen(Vec(-3, -4, 0)), 5.0f);
  EXPECT_SAME_BITS(BbVectorLen(Vec(0, 0, 0)), 0.0f);
}

TEST(BbVectorNorm, UnitLengthAndNaNForZero) {
  BbVector v = Vec(0, 3, 4);
  BbVectorNorm(&v);
  ExpectVector(v, 0.0f, 0.6f, 0.8f, "(0, 3, 4)");

  BbVector zero = Vec(0, 0, 0);
  BbVectorNorm(&zero);
  EXPECT_TRUE(std::isnan(zero.vec[0]) && std::isnan(zero.vec[1]) &&
              std::isnan(zero.vec[2]))
      << Show(zero.vec[0]) << " " << Show(zero.vec[1]) << " " << Show(zero.vec[2]);
}

TEST(BBVectorDivBy, DivisionByZeroGivesIeeeResults) {
  BbVector v = Vec(1, 0, -2);
  BBVectorDivBy(&v, 0.0f);
  EXPECT_SAME_BITS(v.vec[0], kInf);
  EXPECT_TRUE(std::isnan(v.vec[1])) << Show(v.vec[1]);
  EXPECT_SAME_BITS(v.vec[2], -kInf);

  BbVector w = Vec(1, 2, 3);
  BBVectorDivBy(&w, 4.0f);
  ExpectVector(w, 0.25f, 0.5f, 0.75f, "divided by 4");
  BbVectorMultBy(&w, -2.0f);
  ExpectVector(w, -0.5f, -1.0f, -1.5f, "multiplied by -2");
}

TEST(BbVectorSubAdd, DestinationMayBeAnOperand) {
  BbVector v1 = Vec(5, 7, 9), v2 = Vec(1, 2, 3);
  BbVectorSub(&v1, v1, v2);
  ExpectVector(v1, 4, 5, 6, "sub into v1");
  v1 = Vec(5, 7, 9);
  BbVectorSub(&v2, v1, v2);
  ExpectVector(v2, 4, 5, 6, "sub into v2");

  BbVector a = Vec(1, 2, 3), b = Vec(10, 20, 30);
  BbVectorAdd(&a, a, b);
  ExpectVector(a, 11, 22, 33, "add into v1");
  a = Vec(1, 2, 3);
  BbVectorAdd(&b, a, b);
  ExpectVector(b, 11, 22, 33, "add into v2");
}

// Every vector operation against the reference formulas, bit for bit, over floats of
// every kind (signed zeros, infinities, NaN, subnormals, huge values).
TEST(BbVectorOperations, MatchReferenceArithmeticBitForBit) {
  FloatSource source;
  for (int round = 0; round < 20000; round++) {
    const BbVector a = source.NextVector(), b = source.NextVector();
    const float s = source.Next();
    SCOPED_TRACE("round " + std::to_string(round));

    const BbVector cross = BbVectorCross(&a, &b), refCross = RefCross(a, b);
    for (int i = 0; i < 3; i++) EXPECT_SAME_BITS(cross.vec[i], refCross.vec[i]);

    const float length = BbVectorLen(a);
    EXPECT_SAME_BITS(length, RefLen(a));

    BbVector norm = a;
    BbVectorNorm(&norm);
    BbVector sub, add, mult = a, div = a;
    BbVectorSub(&sub, a, b);
    BbVectorAdd(&add, a, b);
    BbVectorMultBy(&mult, s);
    BBVectorDivBy(&div, s);
    for (int i = 0; i < 3; i++) {
      const double ai = a.vec[i], bi = b.vec[i];
      EXPECT_SAME_BITS(norm.vec[i], (float)(ai / (double)RefLen(a)));
      EXPECT_SAME_BITS(sub.vec[i], (float)(ai - bi));
      EXPECT_SAME_BITS(add.vec[i], (float)(ai + bi));
      EXPECT_SAME_BITS(mult.vec[i], (float)(ai * (double)s));
      EXPECT_SAME_BITS(div.vec[i], (float)(ai / (double)s));
    }
    if (HasFailure()) break;
  }
}

// ---------------------------------------------------------------------------------
// Matrices

BbMatrix RefProduct(const BbMatrix &m, const BbMatrix &t) {
  BbMatrix d;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      d.mx[i][j] =
          (float)((((double)m.mx[i][0] * t.mx[0][j] + (double)m.mx[i][1] * t.mx[1][j]) +
                   (double)m.mx[i][2] * t.mx[2][j]) +
                  (double)m.mx[i][3] * t.mx[3][j]);
    }
  }
  return d;
}

void ExpectMatrix(const BbMatrix &actual, const BbMatrix &expected, const char *what) {
  SCOPED_TRACE(what);
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      EXPECT_SAME_BITS(actual.mx[i][j], expected.mx[i][j])
          << "[" << i << "][" << j << "]";
    }
  }
}

BbMatrix RandomMatrix(FloatSource &source) {
  BbMatrix m;
  for (auto &row : m.mx) {
    for (float &entry : row) entry = source.Next();
  }
  return m;
}

TEST(BbMxIdent, IsTheIdentityWithPositiveZeros) {
  const BbMatrix m = BbMxIdent();
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) EXPECT_SAME_BITS(m.mx[i][j], i == j ? 1.0f : 0.0f);
  }
}

TEST(BbMxMultMxVec, TransformsPointsAsRowVectors) {
  BbMatrix shift = BbMxIdent();
  shift.mx[3][0] = 5;
  shift.mx[3][1] = 6;
  shift.mx[3][2] = 7;
  BbVector p = Vec(1, 2, 3), out;
  BbMxMultMxVec(&shift, &p, &out);
  ExpectVector(out, 6, 8, 10, "translation row");

  // src and dst the same vector.
  BbMxMultMxVec(&shift, &p, &p);
  ExpectVector(p, 6, 8, 10, "in place");

  // Column 3 is not read.
  BbMatrix general = BbMxIdent();
  general.mx[0][1] = 2;
  general.mx[2][0] = -3;
  general.mx[3][2] = 4;
  BbMatrix column3 = general;
  for (int i = 0; i < 4; i++) column3.mx[i][3] = 1;
  BbVector q = Vec(1, 2, 3), fromGeneral, fromColumn3;
  BbMxMultMxVec(&general, &q, &fromGeneral);
  BbMxMultMxVec(&column3, &q, &fromColumn3);
  ExpectVector(fromGeneral, -8, 4, 7, "general");
  ExpectVector(fromColumn3, -8, 4, 7, "column 3 set");
}

// dst[j] = M[3][j] + ((x*M[0][j] + y*M[1][j]) + z*M[2][j]): with terms 2^60 apart, any
// other order of the sums gives another result.
TEST(BbMxMultMxVec, SumsInTheDocumentedOrder) {
  const float big = 1073741824.0f;  // 2^30, so big * big is 2^60
  struct Case {
    float column[4];  // M[0][0], M[1][0], M[2][0], M[3][0]
    BbVector point;
    float expected;
  };
  const Case cases[] = {
      // 1 + ((2^60 + 1) - 2^60) = 1; adding the translation first would give 0.
      {{big, 1, big, 1}, Vec(big, 1, -big), 1.0f},
      // (1 + 2^60) - 2^60 = 0; summing y and z first would give 1.
      {{1, big, big, 0}, Vec(1, big, -big), 0.0f},
  };
  for (const Case &c : cases) {
    BbMatrix m = BbMxIdent();
    for (int i = 0; i < 4; i++) m.mx[i][0] = c.column[i];
    BbVector out;
    BbMxMultMxVec(&m, &c.point, &out);
    EXPECT_SAME_BITS(out.vec[0], c.expected);
  }
}

TEST(BbMxMultMxVec, MatchesReferenceBitForBit) {
  FloatSource source;
  for (int round = 0; round < 5000; round++) {
    const BbMatrix m = RandomMatrix(source);
    const BbVector p = source.NextVector();
    BbVector out;
    BbMxMultMxVec(&m, &p, &out);
    for (int j = 0; j < 3; j++) {
      const double x = p.vec[0], y = p.vec[1], z = p.vec[2];
      const float expected =
          (float)((double)m.mx[3][j] +
                  ((x * m.mx[0][j] + y * m.mx[1][j]) + z * m.mx[2][j]));
      EXPECT_SAME_BITS(out.vec[j], expected) << "round " << round << " j " << j;
    }
    if (HasFailure()) break;
  }
}

TEST(BbMxMultLeft, ComposesInFrontAndAllowsTheSameMatrixTwice) {
  FloatSource source;
  for (int round = 0; round < 5000; round++) {
    const BbMatrix m = RandomMatrix(source), t = RandomMatrix(source);
    BbMatrix target = t;
    BbMxMultLeft(&target, &m);
    ExpectMatrix(target, RefProduct(m, t), "m x target");

    BbMatrix square = t;
    BbMxMultLeft(&square, &square);
    ExpectMatrix(square, RefProduct(t, t), "target x target");
    if (HasFailure()) break;
  }
}

TEST(BbMxMultLeft, IdentityOnEitherSide) {
  BbMatrix m;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++)
      m.mx[i][j] = (float)(i * 4 + j + 1) * (j % 2 ? -0.5f : 1.5f);
  }
  const BbMatrix identity = BbMxIdent();
  BbMatrix target = m;
  BbMxMultLeft(&target, &identity);
  ExpectMatrix(target, m, "identity composed onto m");
  target = identity;
  BbMxMultLeft(&target, &m);
  ExpectMatrix(target, m, "m composed onto the identity");
}

// D[i][j] = ((m0*T0 + m1*T1) + m2*T2) + m3*T3, left to right.
TEST(BbMxMultLeft, SumsLeftToRight) {
  const float big = 1073741824.0f;  // 2^30
  BbMatrix m = BbMxIdent(), target = BbMxIdent();
  for (int k = 0; k < 4; k++) m.mx[0][k] = 1.0f;
  const float column[4] = {big * big, 1.0f, -big * big, 1.0f};
  for (int k = 0; k < 4; k++) target.mx[k][0] = column[k];
  BbMxMultLeft(&target, &m);
  // ((2^60 + 1) - 2^60) + 1 = 1; right to left or pairwise gives 0.
  EXPECT_SAME_BITS(target.mx[0][0], 1.0f);
}

// Composing a translation and then a scale: the scale, composed last, acts first.
TEST(BbMxMultLeft, MatrixComposedLastActsFirst) {
  BbMatrix translate = BbMxIdent(), scale = BbMxIdent();
  translate.mx[3][0] = 1;
  for (int i = 0; i < 3; i++) scale.mx[i][i] = 2;
  BbMatrix m = BbMxIdent();
  BbMxMultLeft(&m, &translate);
  BbMxMultLeft(&m, &scale);
  const BbVector origin = Vec(0, 0, 0), unitX = Vec(1, 0, 0);
  BbVector out;
  BbMxMultMxVec(&m, &origin, &out);
  ExpectVector(out, 1, 0, 0, "origin");
  BbMxMultMxVec(&m, &unitX, &out);
  ExpectVector(out, 3, 0, 0, "(1, 0, 0)");
}

// ---------------------------------------------------------------------------------
// Growable lists

TEST(BbMVectors, GrowsExactlyAndZeroFillsNewEntries) {
  EXPECT_EQ(BbMVectorGetNum(nullptr), 0);
  BbMVectors *list = BbMVectorsCreate();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(BbMVectorGetNum(list), 0);
  EXPECT_EQ(list->vectors, nullptr);

  BbMVectorSet1(list, 5, Vec(1, 2, 3));
  EXPECT_EQ(BbMVectorGetNum(list), 6);
  ExpectVector(BbMVectorGet(list, 5), 1, 2, 3, "entry 5");
  for (int i = 0; i < 5; i++) ExpectVector(BbMVectorGet(list, i), 0, 0, 0, "new entry");

  for (int i = 0; i < 5; i++) BbMVectorSet1(list, i, Vec((float)i, 0, 0));
  EXPECT_EQ(BbMVectorGetNum(list), 6);

  // Overwrite inside, then append at the current count.
  BbMVectorSet1(list, 2, Vec(-7, -8, -9));
  EXPECT_EQ(BbMVectorGetNum(list), 6);
  ExpectVector(BbMVectorGet(list, 2), -7, -8, -9, "overwritten");
  BbMVectorSet1(list, 6, Vec(4, 5, 6));
  EXPECT_EQ(BbMVectorGetNum(list), 7);
  ExpectVector(BbMVectorGet(list, 6), 4, 5, 6, "appended");
  ExpectVector(BbMVectorGet(list, 4), 4, 0, 0, "kept");
  BbMVectorsDelete(list);
}

TEST(BbMVectors, NegativeWriteGoesToEntryZeroAndReadsClamp) {
  BbMVectors *list = BbMVectorsCreate();
  BbMVectorSet1(list, -3, Vec(9, 9, 9));
  EXPECT_EQ(BbMVectorGetNum(list), 1);
  ExpectVector(BbMVectorGet(list, 0), 9, 9, 9, "entry 0");

  BbMVectorSet1(list, 0, Vec(10, 0, 0));
  BbMVectorSet1(list, 1, Vec(11, 0, 0));
  BbMVectorSet1(list, 2, Vec(12, 0, 0));
  struct Read {
    int index;
    float expectedX;
  };
  const Read reads[] = {{-1, 10}, {INT_MIN, 10}, {0, 10},   {1, 11},
                        {2, 12},  {3, 12},       {100, 12}, {INT_MAX, 12}};
  for (const Read &r : reads) {
    EXPECT_SAME_BITS(BbMVectorGet(list, r.index).vec[0], r.expectedX)
        << "index " << r.index;
  }
  BbMVectorsDelete(list);
}

TEST(BbMIntegers, GrowsClampsAndWritesNegativeIndicesToEntryZero) {
  EXPECT_EQ(BbMIntegerGetNum(nullptr), 0);
  BbMIntegers *list = BbMIntegersCreate();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(BbMIntegerGetNum(list), 0);
  EXPECT_EQ(list->array, nullptr);

  BbMIntegerSet1(list, 5, 55);
  EXPECT_EQ(BbMIntegerGetNum(list), 6);
  for (int i = 0; i < 5; i++) EXPECT_EQ(BbMIntegerGet(list, i), 0) << "new entry " << i;
  EXPECT_EQ(BbMIntegerGet(list, 5), 55);

  BbMIntegerSet1(list, -3, 7);
  BbMIntegerSet1(list, 2, 22);
  EXPECT_EQ(BbMIntegerGetNum(list), 6);
  BbMIntegerSet1(list, 6, 66);
  EXPECT_EQ(BbMIntegerGetNum(list), 7);

  const int reads[][2] = {{INT_MIN, 7}, {-1, 7}, {0, 7},    {2, 22},      {5, 55},
                          {6, 66},      {7, 66}, {100, 66}, {INT_MAX, 66}};
  for (const auto &r : reads)
    EXPECT_EQ(BbMIntegerGet(list, r[0]), r[1]) << "index " << r[0];
  BbMIntegersDelete(list);
}

TEST(BbMLists, EmptyListsReadZeroAndDeleteAcceptsNull) {
  BbMVectors *vectors = BbMVectorsCreate();
  BbMIntegers *integers = BbMIntegersCreate();
  for (int index : {-1, 0, 5}) {
    ExpectVector(BbMVectorGet(vectors, index), 0, 0, 0, "empty vector list");
    EXPECT_EQ(BbMIntegerGet(integers, index), 0);
  }
  BbMVectorsDelete(vectors);
  BbMIntegersDelete(integers);
  BbMVectorsDelete(nullptr);
  BbMIntegersDelete(nullptr);
}

// Runs in a child process: under a 512 MB address-space limit, grows both lists far
// beyond it and exits with 0 if both kept their old contents.
void GrowUnderMemoryLimit(BbMVectors *vectors, BbMIntegers *integers) {
  struct rlimit limit = {512u << 20, 512u << 20};
  setrlimit(RLIMIT_AS, &limit);
  BbMVectorSet1(vectors, 200000000, Vec(4, 5, 6));  // 2.4 GB
  BbMIntegerSet1(integers, 400000000, 34);          // 1.6 GB
  const BbVector kept = BbMVectorGet(vectors, 100);
  const bool unchanged = BbMVectorGetNum(vectors) == 2 &&
                         BbMIntegerGetNum(integers) == 2 && kept.vec[0] == 1 &&
                         kept.vec[2] == 3 && BbMIntegerGet(integers, 100) == 12;
  std::_Exit(unchanged ? 0 : 1);
}

// A write whose growth cannot be allocated leaves the list as it was. The index
// INT_MAX cannot be counted in an int at all; the other sizes are refused by the
// allocator under a small address-space limit, in a child process.
TEST(BbMLists, FailedGrowthLeavesListUnchanged) {
  BbMVectors *vectors = BbMVectorsCreate();
  BbMIntegers *integers = BbMIntegersCreate();
  BbMVectorSet1(vectors, 1, Vec(1, 2, 3));
  BbMIntegerSet1(integers, 1, 12);
  BbMVectorSet1(vectors, INT_MAX, Vec(4, 5, 6));
  BbMIntegerSet1(integers, INT_MAX, 34);
  EXPECT_EQ(BbMVectorGetNum(vectors), 2);
  EXPECT_EQ(BbMIntegerGetNum(integers), 2);
  ExpectVector(BbMVectorGet(vectors, 1), 1, 2, 3, "kept entry");
  EXPECT_EQ(BbMIntegerGet(integers, 1), 12);

  EXPECT_EXIT(GrowUnderMemoryLimit(vectors, integers), ::testing::ExitedWithCode(0), "");
  BbMVectorsDelete(vectors);
  BbMIntegersDelete(integers);
}

}  // namespace
