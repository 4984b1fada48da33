// GbTransform: rotations, translations and scales composed onto a matrix, rotation
// matrices read back as Euler angles for five orders, attitudes of three-point frames,
// and the segment matrix of a body, a motion and an object transform.
//
// Every composing operation fills a work matrix W on the stack and sets M <- W x M with
// BbMxMultLeft. Rotation arithmetic is done in double; sines and cosines within 1e-6 of
// zero snap to +0 so that multiples of 90 degrees build exact matrices, and each stored
// entry is rounded to float once. The readers (Euler angles, attitudes) keep their
// angles as float radians and convert to degrees with one double product at the end.
#include "GbTransform.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#define ABS(x) ((x) < 0 ? -(x) : (x))

namespace {

const double kPi = 3.141592653589793;
const double kDegreesPerRadian = 57.29577951308232;
const float kHalfPi = 1.5707963705062866f;  // pi / 2 rounded to float

// Sines and cosines strictly inside (-1e-6, 1e-6) become +0.
double Snap(double value) {
  if (value > -1e-6 && value < 1e-6) return 0.0;
  return value;
}

float ToDegrees(float radians) {
  return (float)((double)radians * kDegreesPerRadian);
}

// Moves the three points of a frame by `transform`, each in place.
void MovePoints(const BbMatrix *transform, BbVector *points) {
  for (int i = 0; i < 3; i++) BbMxMultMxVec(transform, &points[i], &points[i]);
}

}  // namespace

BbMatrix GbXformClear(void) {
  return BbMxIdent();
}

void GbXformRotateRad(BbMatrix *self, float angle, char axis) {
  const double da = angle;
  const double sina = Snap(sin(da));
  const double cosa = Snap(cos(da));

  double sinx = 0.0, cosx = 1.0;
  double siny = 0.0, cosy = 1.0;
  double sinz = 0.0, cosz = 1.0;
  switch ((unsigned char)axis) {
    case 'X':
    case 'x':
      sinx = sina;
      cosx = cosa;
      break;
    case 'Y':
    case 'y':
      siny = sina;
      cosy = cosa;
      break;
    case 'Z':
    case 'z':
      sinz = sina;
      cosz = cosa;
      break;
    default:
      std::fputs("unknown axis", stdout);
      return;
  }

  // The general three-axis formula, even though two axes are neutral: it fixes the
  // signs of the zero entries (row 0, column 2 is -0 about x and about z). Triple
  // products are formed left to right.
  BbMatrix workMatrix = BbMxIdent();
  workMatrix.mx[0][0] = (float)(cosy * cosz);
  workMatrix.mx[0][1] = (float)(cosy * sinz);
  workMatrix.mx[0][2] = (float)(-siny);
  workMatrix.mx[1][0] = (float)(sinx * siny * cosz - cosx * sinz);
  workMatrix.mx[1][1] = (float)(sinx * siny * sinz + cosx * cosz);
  workMatrix.mx[1][2] = (float)(sinx * cosy);
  workMatrix.mx[2][0] = (float)(cosx * siny * cosz + sinx * sinz);
  workMatrix.mx[2][1] = (float)(cosx * siny * sinz - sinx * cosz);
  workMatrix.mx[2][2] = (float)(cosx * cosy);
  BbMxMultLeft(self, &workMatrix);
}

void GbXformRotateDeg(BbMatrix *self, float angle, char axis) {
  const double product = (double)angle * kPi;
  const float radians = (float)(product / 180.0);
  GbXformRotateRad(self, radians, axis);
}

void GbXformTranslate(BbMatrix *self, const BbVector *t) {
  BbMatrix workMatrix = BbMxIdent();
  workMatrix.mx[3][0] = t->vec[0];
  workMatrix.mx[3][1] = t->vec[1];
  workMatrix.mx[3][2] = t->vec[2];
  BbMxMultLeft(self, &workMatrix);
}

void GbXformScale(BbMatrix *self, float s) {
  BbMatrix workMatrix = BbMxIdent();
  workMatrix.mx[0][0] = s;
  workMatrix.mx[1][1] = s;
  workMatrix.mx[2][2] = s;
  BbMxMultLeft(self, &workMatrix);
}

void GbXformScaleVec(BbMatrix *self, const BbVector *s) {
  BbMatrix workMatrix = BbMxIdent();
  workMatrix.mx[0][0] = s->vec[0];
  workMatrix.mx[1][1] = s->vec[1];
  workMatrix.mx[2][2] = s->vec[2];
  BbMxMultLeft(self, &workMatrix);
}

namespace {

// One matrix element as an Euler reader uses it, possibly negated.
struct Element {
  int row;
  int column;
  bool negated;
};

// Negated in float before widening, so the arctangent sees the sign of a zero.
double Read(const float R[4][4], Element e) {
  const float value = e.negated ? -R[e.row][e.column] : R[e.row][e.column];
  return (double)value;
}

// The gimbal-lock reading for one sign of the test element: theta = +-pi/2,
// phi = atan2(y, x) / 2, psi = +-phi.
struct LockRule {
  bool thetaNegative;
  Element y;
  Element x;
  bool psiNegated;
};

// How one rotation order reads a matrix: phi about its first letter, theta about the
// middle one, psi about the last.
struct OrderRule {
  const char *name;
  Element test;          // +-1 exactly means gimbal lock
  Element cos0, cos1;    // costheta = sqrt(cos0^2 + cos1^2)
  Element phiY, phiX;    // phi = atan2(phiY, phiX)
  Element thetaY;        // theta = atan2(thetaY, costheta)
  Element psiY, psiX;    // psi = atan2(psiY, psiX)
  LockRule plus, minus;  // test element +1 and -1
};

constexpr bool NEG = true;   // element negated
constexpr bool POS = false;  // element as it stands

// clang-format off
const OrderRule orderRules[] = {
    //      test         costheta of               phi: atan2(y, x)          theta: y     psi: atan2(y, x)
    {"XYZ", {2, 0, POS}, {2, 2, POS}, {2, 1, POS}, {2, 1, NEG}, {2, 2, POS}, {2, 0, POS}, {1, 0, NEG}, {0, 0, POS},
     // lock rows: {theta is -pi/2, atan2 y, atan2 x, psi is -phi}
     /* +1 */ {false, {1, 2, POS}, {1, 1, POS}, false},
     /* -1 */ {true,  {1, 2, POS}, {1, 1, POS}, true}},
    // For -1 the lock reading of "ZXY" and "YZX" takes another second argument than
    // for +1 (R[2][1] rather than R[0][0], R[1][0] rather than R[2][2]); the two are
    // equal for a rotation locked in that position.
    {"ZXY", {1, 2, POS}, {2, 2, POS}, {0, 2, POS}, {1, 0, NEG}, {1, 1, POS}, {1, 2, POS}, {0, 2, NEG}, {2, 2, POS},
     /* +1 */ {false, {0, 1, POS}, {0, 0, POS}, false},
     /* -1 */ {true,  {0, 1, POS}, {2, 1, POS}, true}},
    {"YZX", {0, 1, POS}, {0, 2, POS}, {0, 0, POS}, {0, 2, NEG}, {0, 0, POS}, {0, 1, POS}, {2, 1, NEG}, {1, 1, POS},
     /* +1 */ {false, {2, 0, POS}, {2, 2, POS}, false},
     /* -1 */ {true,  {2, 0, POS}, {1, 0, POS}, true}},
    {"YXZ", {2, 1, POS}, {1, 1, POS}, {0, 1, POS}, {2, 0, POS}, {2, 2, POS}, {2, 1, NEG}, {0, 1, POS}, {1, 1, POS},
     /* +1 */ {true,  {1, 0, NEG}, {0, 0, POS}, false},
     /* -1 */ {false, {1, 0, POS}, {0, 0, POS}, true}},
    {"ZYX", {0, 2, POS}, {0, 0, POS}, {0, 1, POS}, {0, 1, POS}, {0, 0, POS}, {0, 2, NEG}, {1, 2, POS}, {2, 2, POS},
     /* +1 */ {true,  {1, 0, NEG}, {1, 1, POS}, false},
     /* -1 */ {false, {1, 0, NEG}, {1, 1, POS}, true}},
};
// clang-format on

}  // namespace

int BbXfChangeRotOrder(BbVector *angle, const char *axis, const float R[4][4]) {
  // Every order is compared; at most one matches.
  const OrderRule *rule = nullptr;
  for (const OrderRule &candidate : orderRules) {
    if (std::strcmp(axis, candidate.name) == 0) rule = &candidate;
  }
  if (rule == nullptr) {
    std::printf("BbXfChangeRtOrder: no such option %s.\n", axis);
    return 0;
  }

  float phi, theta, psi;
  const float test = R[rule->test.row][rule->test.column];
  if (ABS(test) != 1.0) {
    const double c0 = Read(R, rule->cos0);
    const double c1 = Read(R, rule->cos1);
    double sumOfSquares = c0 * c0;
    sumOfSquares = sumOfSquares + c1 * c1;
    const float costheta = (float)sqrt(sumOfSquares);
    psi = (float)atan2(Read(R, rule->psiY), Read(R, rule->psiX));
    phi = (float)atan2(Read(R, rule->phiY), Read(R, rule->phiX));
    theta = (float)atan2(Read(R, rule->thetaY), (double)costheta);
  } else {
    const LockRule &lock = test > 0 ? rule->plus : rule->minus;
    theta = lock.thetaNegative ? -kHalfPi : kHalfPi;
    phi = (float)(atan2(Read(R, lock.y), Read(R, lock.x)) * 0.5);
    psi = lock.psiNegated ? -phi : phi;
  }

  angle->vec[0] = ToDegrees(phi);
  angle->vec[1] = ToDegrees(theta);
  angle->vec[2] = ToDegrees(psi);
  return 1;
}

BbVector GbXfGetRollPitchYaw(BbVector *points) {
  // Move points[0] to the origin.
  BbMatrix transform = BbMxIdent();
  BbVector origin;
  for (int i = 0; i < 3; i++) origin.vec[i] = -points[0].vec[i];
  GbXformTranslate(&transform, &origin);
  MovePoints(&transform, points);

  // Turn the main point about z into the y-z half plane with y >= 0.
  float yaw = 0.0f;
  if (!(points[1].vec[0] == 0 && points[1].vec[1] == 0)) {
    yaw = atan2f(-points[1].vec[0], points[1].vec[1]);
  }
  transform = BbMxIdent();
  GbXformRotateRad(&transform, -yaw, 'z');
  MovePoints(&transform, points);

  // Turn it about x onto +y.
  float roll = 0.0f;
  if (!(points[1].vec[2] == 0 && points[1].vec[1] == 0)) {
    roll = atan2f(points[1].vec[2], points[1].vec[1]);
  }
  transform = BbMxIdent();
  GbXformRotateRad(&transform, -roll, 'x');
  MovePoints(&transform, points);

  // The pitch is read from the frame's normal; the points are not turned by it.
  BbVector U = points[1];
  BbVector V;
  BbVectorSub(&V, points[2], points[1]);
  BbVector N = BbVectorCross(&U, &V);
  float pitch = 0.0f;
  if (!(N.vec[2] == 0 && N.vec[0] == 0)) pitch = atan2f(-N.vec[2], N.vec[0]);

  BbVector attitude;
  attitude.vec[0] = ToDegrees(roll);
  attitude.vec[1] = ToDegrees(pitch);
  attitude.vec[2] = ToDegrees(yaw);
  return attitude;
}

BbVector GbXfGetAliasRotations(BbVector *points) {
  BbMatrix transform = BbMxIdent();
  BbVector origin;
  for (int i = 0; i < 3; i++) origin.vec[i] = -points[0].vec[i];
  GbXformTranslate(&transform, &origin);
  MovePoints(&transform, points);

  // About z: the main point into the x-z half plane with x >= 0.
  float aboutZ = 0.0f;
  if (!(points[1].vec[1] == 0 && points[1].vec[0] == 0)) {
    aboutZ = atan2f(points[1].vec[1], points[1].vec[0]);
  }
  transform = BbMxIdent();
  GbXformRotateRad(&transform, -aboutZ, 'z');
  MovePoints(&transform, points);

  // About y: the main point onto +x.
  float aboutY = 0.0f;
  if (!(points[1].vec[0] == 0 && points[1].vec[2] == 0)) {
    aboutY = atan2f(-points[1].vec[2], points[1].vec[0]);
  }
  transform = BbMxIdent();
  GbXformRotateRad(&transform, -aboutY, 'y');
  MovePoints(&transform, points);

  BbVector U = points[1];
  BbVector V;
  BbVectorSub(&V, points[2], points[1]);
  BbVector N = BbVectorCross(&U, &V);
  float aboutX = 0.0f;
  if (!(N.vec[2] == 0 && N.vec[1] == 0)) aboutX = atan2f(-N.vec[2], -N.vec[1]);

  BbVector attitude;
  attitude.vec[0] = ToDegrees(aboutX);
  attitude.vec[1] = ToDegrees(aboutY);
  attitude.vec[2] = ToDegrees(aboutZ);
  return attitude;
}

GbXfSixDOF GbXfGetSixDOF(BbVector *points) {
  GbXfSixDOF result;
  result.position = points[0];
  result.attitude = GbXfGetRollPitchYaw(points);
  BbVector delta;
  BbVectorSub(&delta, points[1], points[0]);
  result.length = BbVectorLen(delta);
  return result;
}

BbMatrix GbXfBuildBodyMotionSegment(const BoXform *bodyXf, const BoXform *motionXf,
                                    const BoXform *objectXf) {
  BbMatrix rotateMatrix = GbXformClear();
  const BoXform *records[3] = {bodyXf, motionXf, objectXf};
  for (const BoXform *record : records) {
    const BbVector translate = BoXformGetTrans(record);
    const BbVector rotate = BoXformGetRotate(record);
    const BbVector scale = BoXformGetScale(record);
    GbXformTranslate(&rotateMatrix, &translate);
    GbXformRotateDeg(&rotateMatrix, rotate.vec[2], 'z');
    GbXformRotateDeg(&rotateMatrix, rotate.vec[0], 'x');
    GbXformRotateDeg(&rotateMatrix, rotate.vec[1], 'y');
    GbXformScaleVec(&rotateMatrix, &scale);
  }
  return rotateMatrix;
}
