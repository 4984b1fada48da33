// The plain conversion: the same run written the straightforward way, as the yardstick
// for the streamed one. getline per row, sscanf "%f%n" per value, fprintf "% 4.2f\t" per
// value, and the library's rotation and extraction calls per joint and channel. Linked in
// place of the streamed conversion into the reference program trelvin_plain.
#include <cstdio>
#include <cstdlib>

#include "BoMotion.h"
#include "GbTransform.h"

BoMotionResult BoMotionConvert(const BoHierarchy *hierarchy, int totalChannels,
                               BbFileInfo *in, BbFileInfo *out) {
  if (totalChannels < 0) totalChannels = 0;
  if (totalChannels > BO_MOTION_MAX_CHANNELS) return BoMotionNoRow;
  float *channels = static_cast<float *>(
      std::calloc(static_cast<size_t>(totalChannels) + 1, sizeof(float)));
  if (channels == nullptr) return BoMotionNoRow;

  char *line = nullptr;
  size_t capacity = 0;
  BoMotionResult result = BoMotionDone;
  int rows = 0;
  while (getline(&line, &capacity, in->stream) != -1) {
    int index = 0, chn = 1;
    for (; chn <= totalChannels; chn++) {
      int characters = 0;
      if (std::sscanf(line + index, "%f%n", &channels[chn], &characters) != 1) break;
      index += characters;
    }
    for (; chn <= totalChannels; chn++) channels[chn] = 0.0f;

    for (int jnt = 0; jnt < BoHierarchyGetNumJoints(hierarchy); jnt++) {
      const BoJoint *joint = BoHierarchyGetJoint(hierarchy, jnt);
      BbMatrix mx = BoJointGetMatrix(joint);
      long long first = joint->firstChannel;
      for (int i = 0; i < 12 && first + i <= joint->lastChannel; i++) {
        long long c = first + i;
        int code = joint->Channels[i];
        if (c < 1 || c > totalChannels || code < 3 || code > 5) continue;
        GbXformRotateDeg(&mx, channels[c], static_cast<char>('x' + code - 3));
      }
      BbVector rotate;
      BbXfChangeRotOrder(&rotate, "ZYX", mx.mx);
      for (int i = 0; i < 12 && first + i <= joint->lastChannel; i++) {
        long long c = first + i;
        int code = joint->Channels[i];
        if (c < 1 || c > totalChannels || code < 3 || code > 5) continue;
        channels[c] = rotate.vec[5 - code];
      }
    }

    for (chn = 1; chn <= totalChannels; chn++) {
      std::fprintf(out->stream, "% 4.2f\t", (double)channels[chn]);
    }
    std::fprintf(out->stream, "\n");
    rows++;
  }
  in->line = rows;
  if (std::ferror(in->stream)) {
    BoFileWarnReadError(in);
    result = BoMotionReadError;
  } else if (std::fflush(out->stream) != 0 || std::ferror(out->stream)) {
    result = BoMotionWriteError;
  }
  std::free(line);
  std::free(channels);
  return result;
}
