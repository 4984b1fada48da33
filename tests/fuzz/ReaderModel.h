// A second, independent reading of the body and capture file rules, for the fuzz
// targets to hold the tool's readers against: written from the format's rules, line by
// line, without the driver's code.
//
// Lines are what the library's line reader delivers: pieces of at most 2047 characters,
// each up to and including its newline; a token is a run of characters that are not
// white space (isspace), and a line ends at its first NUL for tokens and numbers.
#ifndef TRELVIN_READERMODEL_H
#define TRELVIN_READERMODEL_H

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BoSkeleton.h"

namespace readermodel {

inline std::vector<std::string> Pieces(const std::string &text) {
  std::vector<std::string> pieces;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = at;
    while (end < text.size() && end - at < 2047 && text[end] != '\n') end++;
    if (end < text.size() && end - at < 2047) end++;  // the newline belongs to it
    std::string piece = text.substr(at, end - at);
    pieces.push_back(piece.substr(0, piece.find('\0')));
    at = end;
  }
  return pieces;
}

// The token that starts at or after *at.
inline std::string Token(const std::string &line, size_t *at) {
  size_t i = *at;
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) i++;
  size_t start = i;
  while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) i++;
  *at = i;
  return line.substr(start, i - start);
}

struct Joint {
  std::string name;
  BoJoint *joint;  // made with BoJointCreate; its setters give the stored values
};

inline Joint *Find(std::vector<Joint> *joints, const std::string &name) {
  for (Joint &j : *joints) {
    if (j.name == name) return &j;
  }
  return nullptr;
}

// The body phase: the old body creates, the new body completes. `joints` receives the
// joints in order; each BoJoint is the caller's to free.
inline void ReadBodies(const std::string &oldBody, const std::string &newBody,
                       std::vector<Joint> *joints) {
  for (int pass = 0; pass < 2; pass++) {
    const bool isOld = pass == 0;
    const std::vector<std::string> lines = Pieces(isOld ? oldBody : newBody);
    for (size_t i = 0; i < lines.size(); i++) {
      size_t at = 0;
      if (Token(lines[i], &at) != "bgnsite") continue;
      BoJoint *current = nullptr;
      while (++i < lines.size()) {
        const std::string &line = lines[i];
        at = 0;
        std::string keyword = Token(line, &at);
        if (keyword == "endsite") break;
        if (keyword == "name") {
          std::string name = Token(line, &at);
          Joint *found = Find(joints, name);
          if (isOld) {
            current = nullptr;
            if (found == nullptr) {
              joints->push_back({name, BoJointCreate(name.c_str())});
              current = joints->back().joint;
            }
          } else {
            current = found != nullptr && !found->joint->done ? found->joint : nullptr;
          }
        } else if (keyword == "xfm" && current != nullptr) {
          float values[6] = {0, 0, 0, 0, 0, 0};
          const char *text = line.c_str() + at;
          for (int k = 0; k < 6; k++) {
            int taken = 0;
            if (std::sscanf(text, "%f%n", &values[k], &taken) != 1) break;
            text += taken;
          }
          BbVector position = {{values[0], values[1], values[2]}};
          BbVector rotation = {{values[3], values[4], values[5]}};
          if (isOld) {
            BoJointSetOldPosition(current, position);
            BoJointSetOldRotate(current, rotation);
          } else {
            BoJointSetNewRotate(current, rotation);
            BoJointSetNewPosition(current, position);
            BoJointSetMatrix(current);
          }
        }
      }
    }
  }
}

struct Layout {
  int firstChannel = 0, lastChannel = 0;
  int Channels[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

struct Capture {
  bool named = false;           // a filename line with a path was read
  std::string fileName;         // its path
  int totalChannels = 0;        // the last applied capture line's last channel
  std::vector<Layout> layouts;  // per joint, in the order of `names`
};

// "%d" as the reader takes it: a decimal integer after white space, clamped to int.
inline bool Integer(const std::string &line, size_t *at, int *value) {
  const char *start = line.c_str() + *at;
  char *end = nullptr;
  long long wide = std::strtoll(start, &end, 10);
  if (end == start) return false;
  *at += static_cast<size_t>(end - start);
  *value = wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : static_cast<int>(wide);
  return true;
}

inline Capture ReadCapture(const std::string &text,
                           const std::vector<std::string> &names) {
  static const char *const tracks[] = {"xpos", "ypos", "zpos", "xrot", "yrot", "zrot"};
  Capture capture;
  capture.layouts.resize(names.size());
  auto find = [&](const std::string &name) -> Layout * {
    for (size_t j = 0; j < names.size(); j++) {
      if (names[j] == name) return &capture.layouts[j];
    }
    return nullptr;
  };
  const std::vector<std::string> lines = Pieces(text);
  Layout *current = nullptr;
  for (size_t i = 0; i < lines.size(); i++) {
    size_t at = 0;
    std::string keyword = Token(lines[i], &at);
    if (keyword == "bgninput") {
      while (++i < lines.size()) {
        at = 0;
        keyword = Token(lines[i], &at);
        if (keyword == "endinput") break;
        if (keyword != "filename" || capture.named) continue;
        std::string path = Token(lines[i], &at);
        if (path.empty()) continue;
        capture.named = true;
        capture.fileName = path;
      }
    } else if (keyword == "object") {
      if (Token(lines[i], &at) != "joint") continue;
      std::string object = Token(lines[i], &at);
      current = find(object.substr(object.rfind('.') + 1));  // npos + 1 is 0
    } else if (keyword == "capture" && current != nullptr) {
      Token(lines[i], &at);
      if (Integer(lines[i], &at, &current->firstChannel)) {
        Integer(lines[i], &at, &current->lastChannel);
      }
      capture.totalChannels = current->lastChannel;
    } else if (keyword == "bgntracks" && current != nullptr) {
      int slot = 0;
      while (++i < lines.size()) {
        at = 0;
        keyword = Token(lines[i], &at);
        if (keyword == "endtracks") break;
        for (int code = 0; code < 6; code++) {
          if (keyword != tracks[code]) continue;
          if (slot < 12) current->Channels[slot] = code;
          slot++;
        }
      }
      current = nullptr;
    }
  }
  return capture;
}

}  // namespace readermodel

#endif
