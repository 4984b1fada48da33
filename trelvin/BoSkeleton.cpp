// BoSkeleton: joint records, the hierarchy that lists them in order of first
// appearance, and the program's warning output used by the motion library.
#include "BoSkeleton.h"

#include <cstdio>

void BoDialogWarning(const char *type, const char *message) {
  std::printf("%s:\t%s\n", type, message);
}
