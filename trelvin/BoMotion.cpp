// BoMotion: the motion file conversion, streamed: the moved-aside file is read in large
// blocks, each line is parsed, corrected and formatted in place, and the output is
// written in large blocks.
//
// Design: the work per row is fixed before the first row. Each joint is reduced to the
// list of its rotation slots that lie inside the row (column and axis), in slot order;
// a joint without such slots changes nothing and is left out. The row buffer, the plan
// and the two block buffers are allocated once; a line longer than the input block grows
// that block, so one line is held at a time whatever its length.
#include "BoMotion.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GbTransform.h"

namespace {

constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kFormatMax = 64;  // longest "% 4.2f\t" of a float, with room to spare

struct JointPlan {
  BbMatrix mx;     // the joint's correction matrix
  int count;       // rotation slots inside the row
  int column[12];  // their columns, in slot order
  char axis[12];   // 'x', 'y' or 'z'
};

// Reads one number as "%f%n" does, from a NUL-terminated text. Returns the characters
// taken, or 0 when nothing could be read.
int ScanFloat(const char *text, float *value) {
  int taken = 0;
  if (std::sscanf(text, "%f%n", value, &taken) != 1) return 0;
  return taken;
}

size_t FormatFloat(char *out, float value) {
  return static_cast<size_t>(std::snprintf(out, kFormatMax, "% 4.2f\t", (double)value));
}

// Builds the plan of every joint that has a rotation slot inside columns
// 1..totalChannels. Returns the number of plans written to `plans`.
int BuildPlans(const BoHierarchy *hierarchy, int totalChannels, JointPlan *plans) {
  int nplans = 0;
  for (int jnt = 0; jnt < BoHierarchyGetNumJoints(hierarchy); jnt++) {
    const BoJoint *joint = BoHierarchyGetJoint(hierarchy, jnt);
    JointPlan plan;
    plan.mx = BoJointGetMatrix(joint);
    plan.count = 0;
    long long chn = joint->firstChannel;
    for (int i = 0; i < 12 && chn <= joint->lastChannel; i++, chn++) {
      if (chn < 1 || chn > totalChannels) continue;
      int code = joint->Channels[i];
      if (code < 3 || code > 5) continue;
      plan.column[plan.count] = static_cast<int>(chn);
      plan.axis[plan.count] = static_cast<char>('x' + (code - 3));
      plan.count++;
    }
    if (plan.count > 0) plans[nplans++] = plan;
  }
  return nplans;
}

// Composes a joint's rotation channels onto its correction matrix and writes the Z-Y-X
// angles back into the same channels.
void CorrectJoint(const JointPlan *plan, float *channels) {
  BbMatrix mx = plan->mx;
  for (int k = 0; k < plan->count; k++) {
    GbXformRotateDeg(&mx, channels[plan->column[k]], plan->axis[k]);
  }
  BbVector rotate;
  BbXfChangeRotOrder(&rotate, "ZYX", mx.mx);
  for (int k = 0; k < plan->count; k++) {
    // vec[0] is the angle about z, vec[1] about y, vec[2] about x.
    channels[plan->column[k]] = rotate.vec['z' - plan->axis[k]];
  }
}

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

// Parses, corrects and writes one line (NUL-terminated at `line`'s end).
void ConvertLine(const char *line, int totalChannels, float *channels,
                 const JointPlan *plans, int nplans, Output *out) {
  const char *p = line;
  int chn = 1;
  for (; chn <= totalChannels; chn++) {
    int taken = ScanFloat(p, &channels[chn]);
    if (taken == 0) break;
    p += taken;
  }
  // A line that ends early, or a token that is no number, leaves the rest of the row 0.
  for (; chn <= totalChannels; chn++) channels[chn] = 0.0f;

  for (int j = 0; j < nplans; j++) CorrectJoint(&plans[j], channels);

  for (chn = 1; chn <= totalChannels; chn++) {
    if (out->used + kFormatMax > kBlockSize) Flush(out);
    out->used += FormatFloat(out->block + out->used, channels[chn]);
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
  JointPlan *plans = static_cast<JointPlan *>(std::malloc(
      (static_cast<size_t>(BoHierarchyGetNumJoints(hierarchy)) + 1) * sizeof(JointPlan)));
  char *input = static_cast<char *>(std::malloc(capacity + 1));
  Output output = {out->stream, static_cast<char *>(std::malloc(kBlockSize)), 0, false};
  if (channels == nullptr || plans == nullptr || input == nullptr ||
      output.block == nullptr) {
    std::free(channels);
    std::free(plans);
    std::free(input);
    std::free(output.block);
    return BoMotionNoRow;
  }
  int nplans = BuildPlans(hierarchy, totalChannels, plans);

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
      input[lineEnd] = '\0';
      ConvertLine(input + start, totalChannels, channels, plans, nplans, &output);
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
      char *grown = static_cast<char *>(std::realloc(input, 2 * capacity + 1));
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
  std::free(plans);
  std::free(input);
  std::free(output.block);
  return result;
}
