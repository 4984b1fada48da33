// BoMotion: the motion file conversion, streamed: the moved-aside file is read in large
// blocks, each line is parsed, corrected and formatted in place, and the output is
// written in large blocks.
//
// Design: the work per row is fixed before the first row. Each joint is reduced to the
// list of its rotation slots that lie inside the row (column and axis), in slot order;
// a joint without such slots changes nothing and is left out. The row buffer, the plan
// and the two block buffers are allocated once; a line longer than the input block grows
// that block, so one line is held at a time whatever its length.
//
// The per-joint math gives the library's results bit for bit but does less work: the
// products with the rotation work matrix's zero entries are skipped (see
// BoMotionRotateDeg), column 3 of the working matrix, which the Z-Y-X read-back never
// reads and which never feeds the other columns, is not computed, and only the angles
// the joint writes back are read.
#include "BoMotion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BoMotionText.h"
#include "GbTransform.h"

namespace {

constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kFormatMax = BO_MOTION_FORMAT_MAX;

// The rotation work matrix of GbXformRotateRad: the general three-axis formula with the
// two neutral axes at sine +0 and cosine 1, each entry rounded to float once.
BbMatrix WorkMatrix(double sinx, double cosx, double siny, double cosy, double sinz,
                    double cosz) {
  BbMatrix w = BbMxIdent();
  w.mx[0][0] = (float)(cosy * cosz);
  w.mx[0][1] = (float)(cosy * sinz);
  w.mx[0][2] = (float)(-siny);
  w.mx[1][0] = (float)(sinx * siny * cosz - cosx * sinz);
  w.mx[1][1] = (float)(sinx * siny * sinz + cosx * cosz);
  w.mx[1][2] = (float)(sinx * cosy);
  w.mx[2][0] = (float)(cosx * siny * cosz + sinx * sinz);
  w.mx[2][1] = (float)(cosx * siny * sinz - sinx * cosz);
  w.mx[2][2] = (float)(cosx * cosy);
  return w;
}

double Snap(double value) {
  return (value > -1e-6 && value < 1e-6) ? 0.0 : value;
}

// Sine and cosine of a rotation by `angle` degrees, as GbXformRotateDeg takes them:
// the angle in radians rounded to float, double sine and cosine, each snapped.
struct SineCosine {
  double s, c;
};

SineCosine AngleSineCosine(float angle) {
  const double product = (double)angle * 3.141592653589793;
  const float radians = (float)(product / 180.0);
  const double da = radians;
  return {Snap(std::sin(da)), Snap(std::cos(da))};
}

// The work matrix of that rotation about 'x', 'y' or 'z', exactly as the library builds
// it.
BbMatrix AxisWorkMatrix(SineCosine sc, char axis) {
  if (axis == 'x') return WorkMatrix(sc.s, sc.c, 0.0, 1.0, 0.0, 1.0);
  if (axis == 'y') return WorkMatrix(0.0, 1.0, sc.s, sc.c, 0.0, 1.0);
  return WorkMatrix(0.0, 1.0, 0.0, 1.0, sc.s, sc.c);
}

// Element [i][j] of w x t, summed in full as BbMxMultLeft sums it.
double FullElement(const BbMatrix &w, const BbMatrix &t, int i, int j) {
  double sum = (double)w.mx[i][0] * (double)t.mx[0][j];
  sum = sum + (double)w.mx[i][1] * (double)t.mx[1][j];
  sum = sum + (double)w.mx[i][2] * (double)t.mx[2][j];
  sum = sum + (double)w.mx[i][3] * (double)t.mx[3][j];
  return sum;
}

// Row i of w x t where row i of w is that of the identity (1 on the diagonal, zeros
// elsewhere): 1 x t[i][j] is t[i][j] exactly, and a zero term leaves a nonzero sum
// unchanged, so the row stays as it is except where an entry is zero; there the sign
// of the result depends on the zero terms, and the element is summed in full.
inline void KeepIdentityRow(BbMatrix *d, const BbMatrix &w, const BbMatrix &t, int i) {
  for (int j = 0; j < 3; j++) {
    if (t.mx[i][j] == 0.0f) d->mx[i][j] = (float)FullElement(w, t, i, j);
  }
}

// Element [3][j] of W x t: row 3 of every work matrix is (+0, +0, +0, 1), and the sum
// is formed with those very factors, since in a rotation matrix the elements of row 3
// are zeros whose signs come from the zero terms.
inline float RowThreeElement(const BbMatrix &t, int j) {
  double sum = 0.0 * (double)t.mx[0][j];
  sum = sum + 0.0 * (double)t.mx[1][j];
  sum = sum + 0.0 * (double)t.mx[2][j];
  sum = sum + 1.0 * (double)t.mx[3][j];
  return (float)sum;
}

// Columns 0 to 2 of W x t into d, for the work matrix W of a rotation about the axis
// whose turning rows are A and B (their nonzero entries in columns A and B) and whose
// row KEEP is the identity's. Of W only the four turning entries enter the
// two-term sums, and from the general formula they are, rounded to float, the cosine
// on the diagonal, the sine at [A][B] and its negation at [B][A] (about y the other way
// round); where a sine or cosine is zero its entry may be a zero of the other sign,
// which cannot change a nonzero sum. The sums are formed without branches; the rare
// zero results, whose sign the zero terms decide, are summed in full with W built as
// the library builds it.
template <int A, int B, int KEEP>
inline void TurnColumns(BbMatrix *d, const BbMatrix &t, SineCosine sc, char axis) {
  const float cosine = (float)sc.c, sine = (float)sc.s;
  const double waa = cosine, wbb = cosine;
  const double wab = A == 0 && B == 2 ? -sine : sine;
  const double wba = A == 0 && B == 2 ? sine : -sine;
  double rowA[3], rowB[3];
  bool zero = false;
  for (int j = 0; j < 3; j++) {
    const double ta = t.mx[A][j], tb = t.mx[B][j];
    double sumA = waa * ta;
    sumA = sumA + wab * tb;
    double sumB = wba * ta;
    sumB = sumB + wbb * tb;
    rowA[j] = sumA;
    rowB[j] = sumB;
    zero = zero | (sumA == 0.0) | (sumB == 0.0) | (t.mx[KEEP][j] == 0.0f);
  }
  for (int j = 0; j < 3; j++) {
    d->mx[A][j] = (float)rowA[j];
    d->mx[B][j] = (float)rowB[j];
    d->mx[3][j] = RowThreeElement(t, j);
  }
  if (!zero) return;
  const BbMatrix w = AxisWorkMatrix(sc, axis);
  for (int j = 0; j < 3; j++) {
    if (rowA[j] == 0.0) d->mx[A][j] = (float)FullElement(w, t, A, j);
    if (rowB[j] == 0.0) d->mx[B][j] = (float)FullElement(w, t, B, j);
  }
  KeepIdentityRow(d, w, t, KEEP);
}

// Sets columns 0 to 2 of *self to those of W x *self, bit for bit as the library's
// rotation, for a finite angle about `axis` and a finite *self whose entries stay far
// from overflow (so every product is finite and the work matrix's structural zeros are
// zeros). Column 3 is left as it was.
void RotateColumns(BbMatrix *self, SineCosine sc, char axis) {
  const BbMatrix t = *self;
  if (axis == 'x') {
    TurnColumns<1, 2, 0>(self, t, sc, axis);
  } else if (axis == 'y') {
    TurnColumns<0, 2, 1>(self, t, sc, axis);
  } else {
    TurnColumns<0, 1, 2>(self, t, sc, axis);
  }
}

// Entries below this keep every product and sum of up to twelve compositions finite
// (each multiplies the largest entry by at most sqrt(2)). NaN and infinities fail it.
constexpr float kTameLimit = 1e30f;

bool Tame(const BbMatrix &m) {
  bool tame = true;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) tame = tame && std::fabs(m.mx[i][j]) < kTameLimit;
  }
  return tame;
}

float ToDegrees(float radians) {
  return (float)((double)radians * 57.29577951308232);
}

}  // namespace

void BoMotionRotateDeg(BbMatrix *self, float angle, char axis) {
  if ((axis != 'x' && axis != 'y' && axis != 'z') || !std::isfinite(angle) ||
      !Tame(*self)) {
    GbXformRotateDeg(self, angle, axis);
    return;
  }
  const SineCosine sc = AngleSineCosine(angle);
  const BbMatrix w = AxisWorkMatrix(sc, axis);
  float column3[4];
  for (int i = 0; i < 4; i++) column3[i] = (float)FullElement(w, *self, i, 3);
  RotateColumns(self, sc, axis);
  for (int i = 0; i < 4; i++) self->mx[i][3] = column3[i];
}

void BoMotionReadZYX(BbVector *angle, const float R[4][4], const bool wanted[3]) {
  const float test = R[0][2];
  const float magnitude = test < 0 ? -test : test;
  if (magnitude != 1.0) {
    if (wanted[0]) {
      angle->vec[0] = ToDegrees((float)std::atan2((double)R[0][1], (double)R[0][0]));
    }
    if (wanted[1]) {
      const double c0 = R[0][0];
      const double c1 = R[0][1];
      double sumOfSquares = c0 * c0;
      sumOfSquares = sumOfSquares + c1 * c1;
      const float costheta = (float)std::sqrt(sumOfSquares);
      const float negated = -R[0][2];  // negated in float, so atan2 sees a zero's sign
      angle->vec[1] = ToDegrees((float)std::atan2((double)negated, (double)costheta));
    }
    if (wanted[2]) {
      angle->vec[2] = ToDegrees((float)std::atan2((double)R[1][2], (double)R[2][2]));
    }
    return;
  }
  // Gimbal lock: the outer angles share the one combination that is determined.
  const float halfPi = 1.5707963705062866f;
  const float negated = -R[1][0];
  const float phi = (float)(std::atan2((double)negated, (double)R[1][1]) * 0.5);
  if (wanted[0]) angle->vec[0] = ToDegrees(phi);
  if (wanted[1]) angle->vec[1] = ToDegrees(test > 0 ? -halfPi : halfPi);
  if (wanted[2]) angle->vec[2] = ToDegrees(test > 0 ? phi : -phi);
}

namespace {

struct JointPlan {
  BbMatrix mx;     // the joint's correction matrix
  bool tame;       // mx qualifies for the fast composition
  bool wanted[3];  // the read-back angles written back: about z, y, x (vec order)
  int count;       // rotation slots inside the row
  int column[12];  // their columns, in slot order
  char axis[12];   // 'x', 'y' or 'z'
};

}  // namespace

struct _BoMotionPlan {
  int njoints;
  JointPlan *joints;
};

BoMotionPlan *BoMotionPlanCreate(const BoHierarchy *hierarchy, int totalChannels) {
  BoMotionPlan *self = static_cast<BoMotionPlan *>(std::malloc(sizeof(BoMotionPlan)));
  JointPlan *plans = static_cast<JointPlan *>(std::malloc(
      (static_cast<size_t>(BoHierarchyGetNumJoints(hierarchy)) + 1) * sizeof(JointPlan)));
  if (self == nullptr || plans == nullptr) {
    std::free(self);
    std::free(plans);
    return nullptr;
  }
  int nplans = 0;
  for (int jnt = 0; jnt < BoHierarchyGetNumJoints(hierarchy); jnt++) {
    const BoJoint *joint = BoHierarchyGetJoint(hierarchy, jnt);
    JointPlan plan;
    plan.mx = BoJointGetMatrix(joint);
    plan.tame = Tame(plan.mx);
    plan.wanted[0] = plan.wanted[1] = plan.wanted[2] = false;
    plan.count = 0;
    long long chn = joint->firstChannel;
    for (int i = 0; i < 12 && chn <= joint->lastChannel; i++, chn++) {
      if (chn < 1 || chn > totalChannels) continue;
      int code = joint->Channels[i];
      if (code < 3 || code > 5) continue;
      plan.column[plan.count] = static_cast<int>(chn);
      plan.axis[plan.count] = static_cast<char>('x' + (code - 3));
      plan.wanted[5 - code] = true;
      plan.count++;
    }
    // A joint without rotation channels in the row changes nothing.
    if (plan.count > 0) plans[nplans++] = plan;
  }
  self->njoints = nplans;
  self->joints = plans;
  return self;
}

void BoMotionPlanDelete(BoMotionPlan *self) {
  if (self == nullptr) return;
  std::free(self->joints);
  std::free(self);
}

namespace {

// Composes a joint's rotation channels onto its correction matrix and writes the Z-Y-X
// angles back into the same channels.
void CorrectJoint(const JointPlan *plan, float *channels) {
  BbMatrix mx = plan->mx;
  bool fast = plan->tame;
  for (int k = 0; k < plan->count; k++) {
    const float angle = channels[plan->column[k]];
    const char axis = plan->axis[k];
    if (fast && std::isfinite(angle)) {
      RotateColumns(&mx, AngleSineCosine(angle), axis);
    } else {
      // Columns 0 to 2 of a product depend on columns 0 to 2 alone, so the column 3
      // left stale by the fast path does not matter here either.
      GbXformRotateDeg(&mx, angle, axis);
      fast = false;
    }
  }
  BbVector rotate;
  BoMotionReadZYX(&rotate, mx.mx, plan->wanted);
  for (int k = 0; k < plan->count; k++) {
    // vec[0] is the angle about z, vec[1] about y, vec[2] about x.
    channels[plan->column[k]] = rotate.vec['z' - plan->axis[k]];
  }
}

}  // namespace

void BoMotionPlanCorrect(const BoMotionPlan *self, float *channels) {
  for (int j = 0; j < self->njoints; j++) CorrectJoint(&self->joints[j], channels);
}

namespace {

struct Output {
  FILE *stream;
  char *block;
  size_t used;
  bool failed;
};

void Flush(Output *self) {
  if (self->used > 0 && !self->failed &&
      std::fwrite(self->block, 1, self->used, self->stream) != self->used) {
    self->failed = true;
  }
  self->used = 0;
}

// Parses, corrects and writes one line, [line, end).
void ConvertLine(const char *line, const char *end, int totalChannels, float *channels,
                 const BoMotionPlan *plan, Output *out) {
  const char *p = line;
  int chn = 1;
  for (; chn <= totalChannels; chn++) {
    int taken = BoMotionScanFloat(p, end, &channels[chn]);
    if (taken == 0) break;
    p += taken;
  }
  // A line that ends early, or a token that is no number, leaves the rest of the row 0.
  for (; chn <= totalChannels; chn++) channels[chn] = 0.0f;

  BoMotionPlanCorrect(plan, channels);

  for (chn = 1; chn <= totalChannels; chn++) {
    if (out->used + kFormatMax > kBlockSize) Flush(out);
    out->used +=
        static_cast<size_t>(BoMotionFormatFloat(out->block + out->used, channels[chn]));
  }
  if (out->used + 1 > kBlockSize) Flush(out);
  out->block[out->used++] = '\n';
}

}  // namespace

BoMotionResult BoMotionConvert(const BoHierarchy *hierarchy, int totalChannels,
                               BbFileInfo *in, BbFileInfo *out) {
  if (totalChannels < 0) totalChannels = 0;
  if (totalChannels > BO_MOTION_MAX_CHANNELS) return BoMotionNoRow;

  size_t capacity = kBlockSize;
  float *channels = static_cast<float *>(
      std::calloc(static_cast<size_t>(totalChannels) + 1, sizeof(float)));
  BoMotionPlan *plan = BoMotionPlanCreate(hierarchy, totalChannels);
  char *input = static_cast<char *>(std::malloc(capacity));
  Output output = {out->stream, static_cast<char *>(std::malloc(kBlockSize)), 0, false};
  if (channels == nullptr || plan == nullptr || input == nullptr ||
      output.block == nullptr) {
    std::free(channels);
    BoMotionPlanDelete(plan);
    std::free(input);
    std::free(output.block);
    return BoMotionNoRow;
  }

  BoMotionResult result = BoMotionDone;
  size_t start = 0;    // first byte of the current line
  size_t scanned = 0;  // bytes after start known to hold no newline
  size_t filled = 0;
  bool atEnd = false;
  int rows = 0;
  for (;;) {
    char *newline = static_cast<char *>(
        std::memchr(input + start + scanned, '\n', filled - start - scanned));
    if (newline != nullptr || (atEnd && start < filled)) {
      size_t lineEnd = newline != nullptr ? static_cast<size_t>(newline - input) : filled;
      ConvertLine(input + start, input + lineEnd, totalChannels, channels, plan, &output);
      rows++;
      start = lineEnd + 1;
      scanned = 0;
      if (newline == nullptr) break;
      continue;
    }
    if (atEnd) break;

    // Keep the partial line, grow the block if the line fills it, and read more.
    scanned = filled - start;
    if (start > 0) {
      std::memmove(input, input + start, filled - start);
      filled -= start;
      start = 0;
    }
    if (filled == capacity) {
      char *grown = static_cast<char *>(std::realloc(input, 2 * capacity));
      if (grown == nullptr) {
        result = BoMotionNoRow;
        break;
      }
      input = grown;
      capacity *= 2;
    }
    size_t wanted = capacity - filled;
    size_t got = std::fread(input + filled, 1, wanted, in->stream);
    filled += got;
    if (got < wanted) {
      if (std::ferror(in->stream)) {
        in->line = rows;
        BoFileWarnReadError(in);
        result = BoMotionReadError;
        break;
      }
      atEnd = true;
    }
  }
  in->line = rows;

  Flush(&output);
  if (result == BoMotionDone &&
      (output.failed || std::fflush(out->stream) != 0 || std::ferror(out->stream))) {
    result = BoMotionWriteError;
  }
  std::free(channels);
  BoMotionPlanDelete(plan);
  std::free(input);
  std::free(output.block);
  return result;
}
