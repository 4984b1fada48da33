// Fuzz target: opening file records, path handling above all. The input is a path (up to
// its first NUL), opened for reading in a small fixed tree with registered object and
// material directories. The record must agree with a model of the documented split:
// directory before the last '/' ("." without one), base name cut at its last '.', the
// suffix type from the table, the search over the registered directories (the last
// registered first) for types 7 and 13, and the warning naming the file alone when
// nothing opens. Then the file is read to its end or first error.
//
// A path starting with '/' is taken inside the tree (the tree's absolute path is put in
// front of it), and a path containing ".." is skipped, so nothing outside is opened.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BoFileIO.h"
#include "FuzzSupport.h"

namespace {

std::vector<std::string> warnings;
std::string tree;

int ModelType(const std::string &fileName) {
  static const char *const suffixes[] = {".asc", ".trc", ".mot", ".qka", ".chn", ".qkc",
                                         ".obj", ".iv",  ".pdf", ".mov", ".cap", ".bod",
                                         ".mtl", ".sic", ".sdl", ".qks", ".ask", ".qkh",
                                         ".qkv", ".TSV", ".MCD", ".vpm", ".bsk", ".pck"};
  std::string::size_type dot = fileName.rfind('.');
  if (dot == std::string::npos) return 0;
  for (int i = 0; i < 24; i++) {
    if (fileName.compare(dot, std::string::npos, suffixes[i]) == 0) return i + 1;
  }
  return 0;
}

bool Opens(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

void MakeTree() {
  tree = fuzzsupport::BaseDir() + "/tree";
  for (const char *d : {"", "/takes.new", "/objs", "/objs/sub", "/objs/.hid", "/mtls",
                        "/mtls/deep", "/dir.bod"}) {
    mkdir((tree + d).c_str(), 0700);
  }
  const char *files[][2] = {
      {"walk.bod", "bgnsite\nname a\nendsite\n"},
      {"takes.new/walk", "x"},
      {"objs/top.obj", "v 0 0 0\n"},
      {"objs/sub/chair.old.obj", "v 1 2 3\r\nf 1\r\n"},
      {"objs/.hid/hidden.obj", "h\n"},
      {"mtls/m.mtl", "newmtl m\n"},
      {"mtls/deep/m2.mtl", ""},
      {"dir.bod/inner.bod", "in\n"},
      {"shot.TSV", "1\t2\n"},
      {"noext", "no suffix"},
      {"a.b.c.d", "dots"},
      {"top.obj", "local first\n"},
      {".hidden.asc", "hidden\n"},
      {"with space.mov", "m\n"},
  };
  for (const auto &f : files) fuzzsupport::WriteFile(tree + "/" + f[0], f[1]);
  fuzzsupport::WriteFile(tree + "/long.cap", std::string(3000, 'w') + "\nend");
  if (symlink("loop.bod", (tree + "/loop.bod").c_str()) != 0 ||
      symlink("nowhere.obj", (tree + "/dangling.obj").c_str()) != 0 ||
      symlink("objs", (tree + "/objlink").c_str()) != 0) {
    std::abort();
  }
}

}  // namespace

void BoDialogWarning(const char *type, const char *message) {
  warnings.push_back(std::string(type) + ":" + message);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzsupport::MakeBaseDir(1 << 20);
  MakeTree();
  int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (chdir(tree.c_str()) != 0) std::abort();
  BoFileSetDir("objs", 7);
  BoFileSetDir("mtls", 13);
  BoFileSetDir("objlink/", 7);
  if (fchdir(home) != 0) std::abort();
  close(home);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path(reinterpret_cast<const char *>(data), size);
  path = path.substr(0, path.find('\0'));
  if (path.find("..") != std::string::npos) return -1;
  if (!path.empty() && path[0] == '/') path = tree + path;

  // The model.
  std::string::size_type slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  int type = ModelType(fileName);
  std::string name = fileName.substr(0, fileName.rfind('.'));
  std::vector<std::string> candidates = {directory};
  if (type == 7) {
    for (int i = nobjdirs - 1; i >= 0; i--) candidates.push_back(objdirs[i]);
  } else if (type == 13) {
    for (int i = nmtldirs - 1; i >= 0; i--) candidates.push_back(mtldirs[i]);
  }

  int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (chdir(tree.c_str()) != 0) std::abort();
  std::string found;
  bool opens = false;
  for (const std::string &candidate : candidates) {
    if (Opens(candidate + "/" + fileName)) {
      found = candidate;
      opens = true;
      break;
    }
  }

  warnings.clear();
  BbFileInfo *file = BoFileCreateInfo(path.c_str(), "r");
  std::string failure;
  if (!opens) {
    if (file != nullptr) failure = "opened a path that does not open";
    if (warnings !=
        std::vector<std::string>{"File:Could not open the file '" + fileName + "'."})
      failure = "the open warning";
  } else if (file == nullptr) {
    failure = "did not open " + found + "/" + fileName;
  } else if (!warnings.empty() || file->directory != found || file->name != name ||
             file->type != type || file->line != 0 || file->inputline[0] != '\0') {
    failure = "the record: directory '" + std::string(file->directory) + "', name '" +
              file->name + "', type " + std::to_string(file->type) + "; expected '" +
              found + "', '" + name + "', " + std::to_string(type);
  } else {
    for (int read = 0; read < 8 && failure.empty(); read++) {
      int line = file->line;
      BoFileReadResult result = BoFileReadLine(file);
      size_t length = strnlen(file->inputline, sizeof file->inputline);
      if (result == BoFileLine) {
        if (file->line != line + 1 || length == 0 || length > 2047)
          failure = "a line read";
        continue;
      }
      if (result == BoFileEnd) {
        if (file->line != line || length != 0) failure = "the end of the file";
      } else if (warnings !=
                 std::vector<std::string>{
                     "File I/O:An error occured while reading line " +
                     std::to_string(line + 1) + " of the file '" + name + "'."}) {
        failure = "the read error warning";
      }
      break;
    }
  }
  BoFileDeleteInfo(file);
  if (fchdir(home) != 0) std::abort();
  close(home);
  if (!failure.empty()) fuzzsupport::Fail(failure + " for the path " + path, data, size);
  return 0;
}
