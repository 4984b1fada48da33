// BoFileCreateInfo on fuzzed paths, inside a scratch tree with a few files and two
// registered object directories, so that splitting, suffix types and the directory
// search all run. ".." and a leading '/' are taken out, so every path stays inside.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BoFileIO.h"

void BoDialogWarning(const char *, const char *) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/trelvin-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
  mkdir("a", 0777);
  mkdir("a/b", 0777);
  mkdir("objs", 0777);
  for (const char *name :
       {"walk.bod", "a/chair.obj", "a/b/x.mtl", "objs/lamp.obj", "a.b"}) {
    FILE *file = std::fopen(name, "w");
    if (file != nullptr) std::fclose(file);
  }
  BoFileSetDir("objs", 7);
  BoFileSetDir("a", 7);
  BoFileSetDir("a", 13);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path(reinterpret_cast<const char *>(data), size);
  path = path.substr(0, path.find('\0'));
  for (std::string::size_type at; (at = path.find("..")) != std::string::npos;) {
    path.replace(at, 2, "_");
  }
  while (!path.empty() && path[0] == '/') path.erase(0, 1);
  BbFileInfo *info = BoFileCreateInfo(path.c_str(), "r");
  if (info != nullptr) {
    if (info->directory == nullptr || info->name == nullptr || info->stream == nullptr) {
      std::abort();
    }
    while (!std::feof(info->stream) && BoFileReadLine(info) == BoFileLine) {
    }
  }
  BoFileDeleteInfo(info);
  return 0;
}
