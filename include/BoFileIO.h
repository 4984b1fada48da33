// BoFileIO: open-file records that know their directory, base name and suffix type; the
// one way every reader fetches its lines; the registered search directories for object
// and material files; the token reader; and the length-unit tables.
//
// The library reports failures through BoDialogWarning, which it does not define: the
// program that links the library supplies it (see below).
#ifndef TRELVIN_BOFILEIO_H
#define TRELVIN_BOFILEIO_H

#include <cstdio>

#include "BbVector.h"

// An open file. Both strings and the stream are owned by the record.
typedef struct _BbFileInfo {
  char *directory;  // where the file was opened: the path before its last '/',
                    // "." for a bare name, or the search directory it was found in
  char *name;       // base name without directory, cut at its last '.'
  FILE *stream;     // the open stream
  int type;         // suffix type (".obj" 7, ".bod" 12, ".mtl" 13, ...), 0 if unknown
  int line;         // lines read so far through BoFileReadLine
  char inputline[2048];  // the line read last, NUL-terminated
} BbFileInfo;

// What BoFileReadLine did.
typedef enum _BoFileReadResult {
  BoFileLine,  // a line (or a 2047-character piece of one) is in inputline
  BoFileEnd,   // end of file: nothing read, inputline empty, line unchanged
  BoFileError  // read error: the "File I/O" warning has been printed
} BoFileReadResult;

// Not defined by the library: every program that links it must provide a definition of
//   void BoDialogWarning(const char *type, const char *message);
// with C++ linkage. The library calls it once for each of its warnings: `type` is a
// category word ("File" for opening and directory failures, "File I/O" for read
// errors), `message` the text without a newline. How the warning is shown is the
// program's choice; trelvin prints "%s:\t%s\n" on standard output.
void BoDialogWarning(const char *type, const char *message);

// Opens `pathname` with the fopen mode `access` and returns its record, or null. The
// path is split at its last '/' ("." when it has none) and opened as
// directory + "/" + file name; the suffix (from the file name's last '.') gives `type`.
// A type 7 (".obj") or 13 (".mtl") file that does not open there is looked for in the
// registered object or material directories, the last registered first. A file that
// cannot be opened is reported as "Could not open the file '%s'." (file name with
// suffix, no directory) under "File" and gives null. Paths of any length are handled
// whole.
BbFileInfo *BoFileCreateInfo(const char *pathname, const char *access);

// Closes the stream and frees the record and its strings; null is ignored.
void BoFileDeleteInfo(BbFileInfo *self);

// Reads the next line of self->stream into inputline: up to and including the newline,
// at most 2047 characters (a longer line arrives in pieces, each counted as a line). A
// line read adds 1 to `line`. At end of file every call gives BoFileEnd with an empty
// inputline. A failed read prints "An error occured while reading line %d of the file
// '%s'." (line + 1, `name`) under "File I/O" and gives BoFileError.
BoFileReadResult BoFileReadLine(BbFileInfo *self);

// Prints the read-error warning of BoFileReadLine for the line after self->line. For
// readers that fetch lines from self->stream by other means.
void BoFileWarnReadError(const BbFileInfo *self);

// Search directories, process-wide, in the order of registration. Empty at start.
extern char **objdirs;  // searched for type 7
extern int nobjdirs;
extern char **mtldirs;  // searched for type 13
extern int nmtldirs;

// Registers `dirName` and its direct subdirectories (in listing order, hidden entries
// skipped, links followed, one level only) as object directories (type 7) or material
// directories (type 13); any other type registers nothing. A path whose status cannot
// be read gives "Could not find the directory '%s'", one that is no directory gives
// "The path '%s' is not a directory", both under "File", and nothing is registered.
void BoFileSetDir(const char *dirName, int type);

// Cuts one token off `line`: skips leading `delimeter`s and blanks, takes characters up
// to the next delimiter, newline or end of text, overwrites the character that ended it
// with NUL (the end of text stays as it is), and skips the delimiters and blanks after
// it. Stores in *characters the number of characters consumed (the NUL counts as one),
// so line + *characters is the start of the next token; after the last token it is one
// past the end of the text. Returns a heap copy of the token (the caller frees it),
// possibly empty.
char *getstring(char *line, unsigned char delimeter, int *characters);

// Length units, indexed 0..6: none, inches, feet, miles, millimetres, centimetres,
// metres. source[u] is inches in one unit, destination[u] units in one inch; a length
// in unit a is expressed in unit b as length * source[a] * destination[b].
inline float source[7] = {0.0f,
                          1.0f,
                          12.0f,
                          63360.0f,
                          (float)(1.0 / 25.4),
                          (float)(1.0 / 2.54),
                          (float)(1.0 / 0.0254)};
inline float destination[7] = {
    0.0f, 1.0f, (float)(1.0 / 12.0), (float)(1.0 / 63360.0), 25.4f, 2.54f, 0.0254f};
inline const char *unitLabels[7] = {"",          "INCHES",     "FEET",  "MILES",
                                    "MILIMETER", "CENTIMETER", "METERS"};

typedef struct _leftRight {
  int items;
  char **names;
  BbVector offset[20];
} leftright;

inline leftright LeftRight = {};

#endif
