// gen_take DIR ROWS [odd]: writes a realistic 60-joint take into DIR.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TakeGen.h"

int main(int argc, char **argv) {
  if (argc < 3) {
    std::printf("usage: gen_take DIR ROWS [odd]\n");
    return 2;
  }
  bool odd = argc > 3 && std::strcmp(argv[3], "odd") == 0;
  if (!TakeWrite(argv[1], std::atol(argv[2]), 1, odd)) {
    std::printf("gen_take: could not write the take into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
