// BoFileIO: open-file records, opening by suffix type with the search over registered
// directories, line reading with line counting, the search-directory registry and the
// token reader.
//
// Paths and messages are built in std::string, so a path of any length is opened whole
// and a warning is printed whole; the record's line buffer keeps its fixed 2048 bytes.
#include "BoFileIO.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

char **objdirs = nullptr;
int nobjdirs = 0;
char **mtldirs = nullptr;
int nmtldirs = 0;

namespace {

struct SuffixType {
  const char *suffix;
  int type;
};

const SuffixType suffixTypes[] = {
    {".asc", 1},  {".trc", 2},  {".mot", 3},  {".qka", 4},  {".chn", 5},  {".qkc", 6},
    {".obj", 7},  {".iv", 8},   {".pdf", 9},  {".mov", 10}, {".cap", 11}, {".bod", 12},
    {".mtl", 13}, {".sic", 14}, {".sdl", 15}, {".qks", 16}, {".ask", 17}, {".qkh", 18},
    {".qkv", 19}, {".TSV", 20}, {".MCD", 21}, {".vpm", 22}, {".bsk", 23}, {".pck", 24},
};

int SuffixTypeOf(const std::string &fileName) {
  std::string::size_type dot = fileName.rfind('.');
  if (dot == std::string::npos) return 0;
  std::string suffix = fileName.substr(dot);
  for (const SuffixType &row : suffixTypes) {
    if (suffix == row.suffix) return row.type;
  }
  return 0;
}

char *CopyString(const std::string &text) {
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

BbFileInfo *BoFileCreateInfo(const char *pathname, const char *access) {
  BbFileInfo *self = static_cast<BbFileInfo *>(std::malloc(sizeof(BbFileInfo)));
  if (self == nullptr) return nullptr;
  self->directory = nullptr;
  self->name = nullptr;
  self->stream = nullptr;
  self->type = 0;
  self->line = 0;
  self->inputline[0] = '\0';

  // Split at the last '/': "/name" has the empty directory part, a bare name ".".
  std::string path = pathname;
  std::string directory;
  std::string fileName;
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory = ".";
    fileName = path;
  } else {
    directory = path.substr(0, slash);
    fileName = path.substr(slash + 1);
  }
  self->type = SuffixTypeOf(fileName);

  self->stream = std::fopen((directory + "/" + fileName).c_str(), access);

  // Object and material files are looked for in the registered directories, the one
  // registered last first; the directory part of the given path plays no role there.
  char **searchDirs = nullptr;
  int nsearchDirs = 0;
  if (self->type == 7) {
    searchDirs = objdirs;
    nsearchDirs = nobjdirs;
  } else if (self->type == 13) {
    searchDirs = mtldirs;
    nsearchDirs = nmtldirs;
  }
  for (int i = nsearchDirs - 1; self->stream == nullptr && i >= 0; i--) {
    directory = searchDirs[i];
    self->stream = std::fopen((directory + "/" + fileName).c_str(), access);
  }

  if (self->stream == nullptr) {
    std::string message = "Could not open the file '" + fileName + "'.";
    BoDialogWarning("File", message.c_str());
    BoFileDeleteInfo(self);
    return nullptr;
  }

  std::string::size_type dot = fileName.rfind('.');
  if (dot != std::string::npos) fileName.erase(dot);
  self->name = CopyString(fileName);
  self->directory = CopyString(directory);
  return self;
}

void BoFileDeleteInfo(BbFileInfo *self) {
  if (self == nullptr) return;
  if (self->stream != nullptr) std::fclose(self->stream);
  std::free(self->directory);
  std::free(self->name);
  std::free(self);
}

BoFileReadResult BoFileReadLine(BbFileInfo *self) {
  if (std::fgets(self->inputline, sizeof self->inputline, self->stream) != nullptr) {
    self->line++;
    return BoFileLine;
  }
  // Nothing was taken: either the end of the file, or a failed read. A stream can hold
  // both indicators; the error indicator decides.
  if (std::feof(self->stream) && !std::ferror(self->stream)) {
    self->inputline[0] = '\0';
    return BoFileEnd;
  }
  BoFileWarnReadError(self);
  return BoFileError;
}

void BoFileWarnReadError(const BbFileInfo *self) {
  std::string message = "An error occured while reading line " +
                        std::to_string(self->line + 1) + " of the file '" +
                        (self->name != nullptr ? self->name : "") + "'.";
  BoDialogWarning("File I/O", message.c_str());
}

// The search-directory registry. Each list grows by exactly one entry per registered
// directory, and an entry is the caller's path as given (for subdirectories, that path,
// "/" and the entry name), so a trailing '/' shows up doubled in the subdirectories.

namespace {

// Appends a copy of `path` to the list; when memory runs out the list stays as it was.
void AppendDirectory(char ***list, int *count, const std::string &path) {
  char *copy = CopyString(path);
  if (copy == nullptr) return;
  char **grown;
  if (*count == 0) {
    grown = static_cast<char **>(std::malloc(sizeof(char *)));
  } else {
    grown = static_cast<char **>(
        std::realloc(*list, (static_cast<size_t>(*count) + 1) * sizeof(char *)));
  }
  if (grown == nullptr) {
    std::free(copy);
    return;
  }
  grown[*count] = copy;
  *list = grown;
  (*count)++;
}

}  // namespace

void BoFileSetDir(const char *dirName, int type) {
  // stat follows symbolic links: a link to a directory is a directory.
  struct stat status;
  if (stat(dirName, &status) != 0) {
    std::string message = std::string("Could not find the directory '") + dirName + "'";
    BoDialogWarning("File", message.c_str());
    return;
  }
  if (!S_ISDIR(status.st_mode)) {
    std::string message = std::string("The path '") + dirName + "' is not a directory";
    BoDialogWarning("File", message.c_str());
    return;
  }

  char ***list;
  int *count;
  if (type == 7) {
    list = &objdirs;
    count = &nobjdirs;
  } else if (type == 13) {
    list = &mtldirs;
    count = &nmtldirs;
  } else {
    return;
  }
  AppendDirectory(list, count, dirName);

  // One level of subdirectories, in the order the listing yields them. Hidden entries
  // (and with them "." and "..") are skipped, and so is every entry whose status
  // cannot be read, such as a dangling link.
  DIR *listing = opendir(dirName);
  if (listing == nullptr) return;
  for (struct dirent *entry = readdir(listing); entry != nullptr;
       entry = readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    std::string path = std::string(dirName) + "/" + entry->d_name;
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      AppendDirectory(list, count, path);
    }
  }
  closedir(listing);
}

char *getstring(char *line, unsigned char delimeter, int *characters) {
  // Every test against the delimiter comes after the test for the end of the text, so
  // a NUL delimiter never carries the scan past the terminator.
  int count = 0;
  char *p = line;
  while (*p != '\0' && (static_cast<unsigned char>(*p) == delimeter || *p == ' ')) {
    p++;
    count++;
  }

  char *token = p;
  while (*p != '\0' && *p != '\n' && static_cast<unsigned char>(*p) != delimeter) {
    p++;
    count++;
  }
  size_t length = static_cast<size_t>(p - token);

  // The character that ended the token becomes the token's terminator and is counted;
  // after a delimiter or newline the separators up to the next token are consumed too.
  bool atEnd = *p == '\0';
  count++;
  if (!atEnd) {
    *p = '\0';
    p++;
    while (*p != '\0' && (static_cast<unsigned char>(*p) == delimeter || *p == ' ')) {
      p++;
      count++;
    }
  }

  *characters = count;
  char *copy = static_cast<char *>(std::malloc(length + 1));
  if (copy != nullptr) {
    std::memcpy(copy, token, length);
    copy[length] = '\0';
  }
  return copy;
}
