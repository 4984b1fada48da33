// The token reader: what one call returns, counts and leaves in the line, and walking
// a line token by token. Also the length-unit tables and the LeftRight record that the
// same header defines.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "BoFileIO.h"
#include "TestSupport.h"

using namespace std::string_literals;

namespace {

// Shows a buffer with its NULs and control characters visible.
std::string Visible(const std::string &text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\0') {
      out += "\\0";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct TokenCase {
  std::string line;  // the text handed in (its terminating NUL is added)
  unsigned char delimiter;
  std::string token;
  int count;
  std::string after;  // the text's bytes afterwards, same length as `line`
};

TEST(getstring, OneCallCutsOneToken) {
  const TokenCase cases[] = {
      {"abc def\n", ' ', "abc", 4, "abc\0def\n"s},
      {"def\n", ' ', "def", 4, "def\0"s},  // the second token of the line above
      {"  x,, y", ',', "x", 6, "  x\0, y"s},
      {"x", ' ', "x", 2, "x"},  // one past the end of the text
      {"", ' ', "", 1, ""},
      {"a\tb c", ' ', "a\tb", 4, "a\tb\0c"s},  // a tab is a token character
      {"x , y", ',', "x ", 4, "x \0 y"s},      // the blank before ',' is kept
      {"New York ,Boston", ',', "New York ", 10, "New York \0Boston"s},
      {"  ,, ", ',', "", 6, "  ,, "},  // only separators: the empty token
      {"\n", ' ', "", 1, "\0"s},
      {"ab\n  cd", ' ', "ab", 5, "ab\0  cd"s},  // blanks after a newline are skipped
      {"ab \ncd", ' ', "ab", 3, "ab\0\ncd"s},   // a newline after a delimiter is not
      {",\nx", ',', "", 2, ",\0x"s},
      {"\t a\tb", '\t', "a", 4, "\t a\0b"s},
      {"a\247b", 0247, "a", 2, "a\0b"s},  // a delimiter above 127
      // A NUL delimiter: every scan still stops at the end of the text.
      {"ab", '\0', "ab", 3, "ab"},
      {"  ", '\0', "", 3, "  "},
  };
  for (const TokenCase &c : cases) {
    // Sentinels after the terminator show any read or write past the text.
    std::vector<char> buffer(c.line.begin(), c.line.end());
    buffer.push_back('\0');
    buffer.insert(buffer.end(), 4, '#');
    int count = -1;
    char *token = getstring(buffer.data(), c.delimiter, &count);
    std::string where = "line \"" + Visible(c.line) + "\", delimiter " +
                        Visible(std::string(1, static_cast<char>(c.delimiter)));
    ASSERT_NE(token, nullptr) << where;
    EXPECT_EQ(Visible(token), Visible(c.token)) << where;
    EXPECT_EQ(count, c.count) << where;
    EXPECT_EQ(Visible(std::string(buffer.data(), c.line.size())), Visible(c.after))
        << where;
    EXPECT_EQ(std::string(buffer.data() + c.line.size(), 5), "\0####"s) << where;
    std::free(token);
  }
}

TEST(getstring, CountLeadsToTheNextToken) {
  struct Case {
    std::string line;
    unsigned char delimiter;
    std::vector<std::string> tokens;
  } cases[] = {
      {"abc def\n", ' ', {"abc", "def"}},
      {"  x,, y", ',', {"x", "y"}},
      {"joint, 1.5 ,2\n", ',', {"joint", "1.5 ", "2"}},
      {"a\tb\t\tc", '\t', {"a", "b", "c"}},
  };
  for (const Case &c : cases) {
    std::vector<char> buffer(c.line.begin(), c.line.end());
    buffer.push_back('\0');
    std::vector<std::string> tokens;
    size_t position = 0;
    while (position < c.line.size()) {
      int count = 0;
      char *token = getstring(buffer.data() + position, c.delimiter, &count);
      ASSERT_NE(token, nullptr);
      ASSERT_GT(count, 0);
      tokens.push_back(token);
      std::free(token);
      position += static_cast<size_t>(count);
    }
    EXPECT_EQ(tokens, c.tokens) << Visible(c.line);
    EXPECT_LE(position, c.line.size() + 1) << Visible(c.line);
  }
}

// Whether `value` is the float nearest to p / q (ties to even). With p and q integers
// below 2^17 and value a 24-bit float, value * q - p is exact in long double, so the
// comparison with both neighbours is an exact comparison of rationals.
bool IsNearestFloat(float value, long double p, long double q) {
  auto error = [&](float f) { return std::fabs(static_cast<long double>(f) * q - p); };
  float below = std::nextafterf(value, 0.0f);
  float above = std::nextafterf(value, INFINITY);
  long double e = error(value);
  if (e > error(below) || e > error(above)) return false;
  if (e == error(below) || e == error(above)) {
    return (std::bit_cast<uint32_t>(value) & 1u) == 0;
  }
  return true;
}

TEST(UnitTables, ValuesAreTheNearestFloatsToTheRatios) {
  struct Row {
    const char *label;
    long double sourceP, sourceQ;  // inches in one unit
    long double destP, destQ;      // units in one inch
  } rows[7] = {
      {"", 0, 1, 0, 1},
      {"INCHES", 1, 1, 1, 1},
      {"FEET", 12, 1, 1, 12},
      {"MILES", 63360, 1, 1, 63360},
      {"MILIMETER", 10, 254, 254, 10},
      {"CENTIMETER", 100, 254, 254, 100},
      {"METERS", 10000, 254, 254, 10000},
  };
  for (int u = 0; u < 7; u++) {
    const Row &r = rows[u];
    EXPECT_STREQ(unitLabels[u], r.label) << "unit " << u;
    uint32_t sourceBits = std::bit_cast<uint32_t>(source[u]);
    uint32_t destBits = std::bit_cast<uint32_t>(destination[u]);
    if (u == 0) {
      EXPECT_EQ(sourceBits, 0u) << "source[0] must be +0";
      EXPECT_EQ(destBits, 0u) << "destination[0] must be +0";
      continue;
    }
    EXPECT_TRUE(IsNearestFloat(source[u], r.sourceP, r.sourceQ))
        << "source[" << u << "] bits 0x" << std::hex << sourceBits;
    EXPECT_TRUE(IsNearestFloat(destination[u], r.destP, r.destQ))
        << "destination[" << u << "] bits 0x" << std::hex << destBits;
  }
}

static_assert(std::is_same_v<struct _leftRight, leftright>);
static_assert(std::is_same_v<decltype(leftright::items), int>);
static_assert(std::is_same_v<decltype(leftright::names), char **>);
static_assert(std::is_same_v<decltype(leftright::offset), BbVector[20]>);
static_assert(offsetof(leftright, items) < offsetof(leftright, names));
static_assert(offsetof(leftright, names) < offsetof(leftright, offset));

TEST(UnitTables, LeftRightStartsEmpty) {
  EXPECT_EQ(LeftRight.items, 0);
  EXPECT_EQ(LeftRight.names, nullptr);
  for (const BbVector &v : LeftRight.offset) {
    for (float c : v.vec) EXPECT_EQ(std::bit_cast<uint32_t>(c), 0u);
  }
}

}  // namespace
