// A client of the installed motion library: it supplies the warning output that the
// library calls, composes rotations onto the identity and reads them back as Z-Y-X
// angles, and opens a file that does not exist to see the library's warning arrive.
#include <trelvin/BoFileIO.h>
#include <trelvin/GbTransform.h>

#include <cstdio>

// The library defines no warning output of its own; every program that links it
// provides this one.
void BoDialogWarning(const char *type, const char *message) {
  std::printf("client warning [%s] %s\n", type, message);
}

// Composes the rotations about axes[0], axes[1], axes[2] by angles[0..2] degrees, in
// this order, and prints the Z-Y-X angles read back from the result.
static void ShowZyx(const char *axes, const float angles[3]) {
  BbMatrix mx = BbMxIdent();
  for (int i = 0; i < 3; i++) GbXformRotateDeg(&mx, angles[i], axes[i]);
  BbVector zyx;
  BbXfChangeRotOrder(&zyx, "ZYX", mx.mx);
  std::printf("%c%c%c %g %g %g -> z %.2f y %.2f x %.2f\n", axes[0], axes[1], axes[2],
              angles[0], angles[1], angles[2], zyx.vec[0], zyx.vec[1], zyx.vec[2]);
}

int main() {
  const float angles[3] = {10.0f, 20.0f, 30.0f};
  ShowZyx("zyx", angles);
  ShowZyx("xyz", angles);

  BbFileInfo *missing = BoFileCreateInfo("no-such-take.dat", "r");
  std::printf("missing file: %s\n", missing == nullptr ? "no record" : "a record");
  BoFileDeleteInfo(missing);
  return 0;
}
