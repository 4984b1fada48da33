// Motion text: the number scanner against glibc's sscanf "%f%n" and the formatter against
// snprintf "% 4.2f\t", on tables of odd inputs and on millions of generated ones. The C
// library is the oracle throughout; the pinned columns of the tables only make the
// expected behaviour readable.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "BoMotionText.h"

namespace {

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The input with its control characters and bytes above 0x7e escaped, in quotes.
std::string Shown(const std::string &text) {
  std::string shown = "\"";
  for (unsigned char c : text) {
    char escaped[8];
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      shown += (char)c;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    }
  }
  if (text.size() > 80) shown += "\" (" + std::to_string(text.size()) + " bytes)";
  return shown + "\"";
}

std::string DescribeFloat(float value) {
  char text[96];
  std::snprintf(text, sizeof text, "%.9g (bits %08x)", (double)value, Bits(value));
  return text;
}

// What a scan gave: the characters consumed (0 when nothing was assigned) and the bits of
// the float afterwards, which keep the sentinel when nothing was assigned.
struct Scanned {
  int consumed;
  uint32_t bits;
};

const uint32_t sentinel = 0xdeadbeefu;

Scanned LibraryScan(const std::string &text) {
  float value = FromBits(sentinel);
  int consumed = -1;
  int assigned = std::sscanf(text.c_str(), "%f%n", &value, &consumed);
  if (assigned != 1) return {0, Bits(value)};
  return {consumed, Bits(value)};
}

Scanned OwnScan(const char *text, const char *end) {
  float value = FromBits(sentinel);
  int consumed = BoMotionScanFloat(text, end, &value);
  return {consumed, Bits(value)};
}

std::string DescribeScan(Scanned scanned) {
  if (scanned.consumed == 0)
    return "no value (float " + DescribeFloat(FromBits(scanned.bits)) + ")";
  return std::to_string(scanned.consumed) + " characters, " +
         DescribeFloat(FromBits(scanned.bits));
}

::testing::AssertionResult SameScan(const std::string &text, Scanned expected,
                                    Scanned got) {
  if (expected.consumed == got.consumed && expected.bits == got.bits)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "input " << Shown(text) << "\n  sscanf gives " << DescribeScan(expected)
         << "\n  scanner gives " << DescribeScan(got);
}

// The scanner on the whole of `text` against sscanf on the same bytes: once as it is and
// once with the rest of a row after it, as most tokens of a file have (the scanner reads
// a token in one go only when 16 characters follow its start).
::testing::AssertionResult ScansLikeLibrary(const std::string &text) {
  for (const std::string &whole : {text, text + "\t-12.3456\t7.5000\t0.0000\n"}) {
    ::testing::AssertionResult same = SameScan(
        whole, LibraryScan(whole), OwnScan(whole.data(), whole.data() + whole.size()));
    if (!same) return same;
  }
  return ::testing::AssertionSuccess();
}

std::string LibraryFormat(float value) {
  char text[BO_MOTION_FORMAT_MAX + 16];
  int length = std::snprintf(text, sizeof text, "% 4.2f\t", (double)value);
  return std::string(text, (size_t)length);
}

::testing::AssertionResult FormatsLikeLibrary(float value) {
  char text[BO_MOTION_FORMAT_MAX];
  int length = BoMotionFormatFloat(text, value);
  std::string got(text, (size_t)length);
  std::string expected = LibraryFormat(value);
  if (got == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "value " << DescribeFloat(value) << "\n  snprintf gives " << Shown(expected)
         << "\n  formatter gives " << Shown(got);
}

// ---------------------------------------------------------------------------------------
// Scanner

struct TokenCase {
  std::string text;
  int consumed;  // as glibc's sscanf "%f%n" takes it; 0: nothing assigned
};

// The odd tokens, each with what glibc does. "s" builds strings with NUL bytes in them.
std::string operator""_s(const char *text, size_t length) {
  return std::string(text, length);
}

const TokenCase tokenCases[] = {
    {"1", 1},
    {"-0", 2},
    {"+7.5", 4},
    {"  \t\r\v\f\n-3.25", 12},
    {"5.", 2},
    {".5", 2},
    {"-.5", 3},
    {"00012.500", 9},
    {"1.2.3", 3},
    {"1..5", 2},
    {"1e5", 3},
    {"1E-5", 4},
    {"1e", 2},
    {"1e+", 3},
    {"1e-", 3},
    {"1e 5", 2},
    {"1e+-5", 3},
    {"1e5e3", 3},
    {"1e5.3", 3},
    {"5.e3", 4},
    {".5e-3x", 5},
    {"-", 0},
    {"+", 0},
    {"- 5", 0},
    {"+-5", 0},
    {".", 0},
    {"-.", 0},
    {"+.e1", 0},
    {".e5", 0},
    {"e5", 0},
    {"", 0},
    {" \t\r\n", 0},
    {"x1", 0},
    {"0x", 0},
    {"-0x", 0},
    {"0xg", 0},
    {"0x.", 3},
    {"0x.p1", 3},
    {"0x1p", 4},
    {"0x1p-", 5},
    {"0x1.8p3", 7},
    {"0X1P-2", 6},
    {"0x1e3", 5},
    {"0x1p3a", 5},
    {"0x1.8.3", 5},
    {"-0x1p3", 6},
    {"0x1p-149", 8},
    {"0x1p-150", 8},
    {"0x1.fffffep127", 14},
    {"0x1.ffffffp127", 14},
    {"00x5", 2},
    {"0", 1},
    {"inf", 3},
    {"-inf", 4},
    {"+Inf", 4},
    {"infx", 3},
    {"INFINITY", 8},
    {"-InFiNiTyX", 9},
    {"infi", 0},
    {"infin", 0},
    {"infinit", 0},
    {"in", 0},
    {"i", 0},
    {"nan", 3},
    {"NaN", 3},
    {"-nan", 4},
    {"+nan", 4},
    {"nan(12)", 3},
    {"nan(", 3},
    {"-nan(0x7fc00001)", 4},
    {"na", 0},
    {"nax", 0},
    {"n", 0},
    {"1e38", 4},
    {"3.4028235e38", 12},
    {"3.40282357e38", 13},
    {"3.4028236e38", 12},
    {"1e39", 4},
    {"-1e50", 5},
    {"1e99999999999999999999", 22},
    {"1e-38", 5},
    {"1e-40", 5},
    {"1.4e-45", 7},
    {"7.1e-46", 7},
    {"7e-46", 5},
    {"-1e-46", 6},
    {"1e-99999999999999999999", 23},
    {"0e99999999999", 13},
    {"16777217", 8},
    {"16777217.000000001", 18},
    {"16777216.999999999", 18},
    {"0.1", 3},
    {"0.30000001192092896", 19},
    {"123456789012345678901234567890", 30},
    {"0."
     "00000000000000000000000000000000000000000000140129846432481707092372958328991613128"
     "0",
     86},
    {"12\0"
     "34"_s,
     2},
    {"-\0"
     "5"_s,
     0},
    {"\0"
     "5"_s,
     0},
    {"in\0f"_s, 0},
    {"1e\0"
     "5"_s,
     2},
    {"\x85"
     "5",
     0},
    {"\xa0"
     "5",
     0},
    {"1\x85", 1},
};

TEST(BoMotionScanFloat, OddTokensAsGlibcReadsThem) {
  for (const TokenCase &c : tokenCases) {
    EXPECT_TRUE(ScansLikeLibrary(c.text));
    EXPECT_EQ(LibraryScan(c.text).consumed, c.consumed)
        << "glibc differs from the table for " << Shown(c.text);
  }
}

TEST(BoMotionScanFloat, ManyDigitsAndLongTokens) {
  std::vector<std::string> texts;
  std::string digits;
  for (int i = 0; i < 700; ++i) digits += (char)('0' + (i * 7 + 3) % 10);
  texts.push_back(digits);                                      // huge: inf
  texts.push_back("0." + digits);                               // 0.3074...
  texts.push_back("-0." + std::string(400, '0') + "1");         // underflow to -0
  texts.push_back("0." + std::string(44, '0') + "1" + digits);  // subnormal
  texts.push_back(std::string(300, '0') + "1.5");               // leading zeros
  texts.push_back("1." + std::string(500, '0') + "1e-3");       // just above 1e-3
  texts.push_back(digits.substr(0, 38) + "." + digits);         // near FLT_MAX
  texts.push_back(digits.substr(0, 39) + "e-1");                // just below 10^38
  texts.push_back("0x" + std::string(300, 'f') + "p-1000");
  texts.push_back("0x." + std::string(300, '0') + "1p1000");
  // Exact midpoint between 1 and the next float, then just above and just below it.
  texts.push_back("1.000000059604644775390625");
  texts.push_back("1.000000059604644775390625" + std::string(300, '0') + "1");
  texts.push_back("1.000000059604644775390624" + std::string(300, '9'));
  for (const std::string &text : texts) EXPECT_TRUE(ScansLikeLibrary(text));
}

// Random text of the shapes found in motion files and around them.
struct TokenMaker {
  std::mt19937_64 random{20240611};

  int Below(int limit) { return (int)(random() % (uint64_t)limit); }
  char Digit() { return (char)('0' + Below(10)); }
  std::string Digits(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += Digit();
    return text;
  }
  std::string From(const char *alphabet, size_t size, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += alphabet[Below((int)size)];
    return text;
  }

  std::string Space() {
    static const char spaces[] = " \t\r\v\f\n";
    int count = Below(4) == 0 ? Below(4) : 0;
    return From(spaces, 6, count);
  }
  std::string Sign() {
    int pick = Below(4);
    return pick == 0 ? "-" : pick == 1 ? "+" : "";
  }
  std::string Decimal() {
    std::string text;
    int whole = Below(31);
    if (whole > 0 && Below(3) == 0) text += std::string((size_t)Below(4) + 1, '0');
    text += Digits(whole);
    if (Below(3) != 0) text += '.';
    text += Digits(Below(31));
    if (Below(3) == 0) {
      text += Below(2) ? 'e' : 'E';
      text += Sign();
      text += Digits(Below(4));
    }
    return text;
  }
  std::string Motion() {
    char text[64];
    double magnitude = std::pow(10.0, Below(5));
    double value = std::uniform_real_distribution<double>(-magnitude, magnitude)(random);
    std::snprintf(text, sizeof text, "%.*f", Below(8), value);
    return text;
  }
  std::string Printed() {
    static const char *const formats[] = {"%.9g", "%.6e", "%.8e", "%a", "%.3g", "%.12g"};
    float value = FromBits((uint32_t)random());
    char text[80];
    std::snprintf(text, sizeof text, formats[Below(6)], (double)value);
    return text;
  }
  std::string Extreme() {
    std::string text = Digits(Below(20) + 1);
    if (Below(2)) text.insert((size_t)Below((int)text.size() + 1), ".");
    text += 'e';
    text += std::to_string(Below(2) ? 30 + Below(20) : -(30 + Below(30)));
    return text;
  }
  std::string Word() {
    static const char *const words[] = {"infinity", "nan", "inf"};
    std::string word = words[Below(3)];
    word = word.substr(0, (size_t)Below((int)word.size()) + 1);
    for (char &c : word)
      if (Below(2)) c = (char)(c - 'a' + 'A');
    if (Below(3) == 0) word += "(" + Digits(Below(3)) + (Below(2) ? ")" : "");
    return word;
  }
  std::string Hex() {
    static const char hex[] = "0123456789abcdefABCDEF";
    std::string text = Below(2) ? "0x" : "0X";
    text += From(hex, 22, Below(13));
    if (Below(2)) text += '.' + From(hex, 22, Below(6));
    if (Below(2)) text += (Below(2) ? "p" : "P") + Sign() + Digits(Below(4));
    return text;
  }
  std::string Fuzz() {
    static const char alphabet[] = "0123456789..eE+-+-xXpPinfatyINFATY() \t\n";
    return From(alphabet, sizeof alphabet - 1, Below(11));
  }
  std::string Long() {
    std::string text = Digits(Below(600) + 20);
    text.insert((size_t)Below((int)text.size()), ".");
    if (Below(2)) text += "e" + std::to_string(Below(200) - 100);
    return text;
  }
  std::string Trailer() {
    static const char trailers[] = "0123456789.eE+-xXpPn(a )\t\n";
    int pick = Below(4);
    if (pick < 2) return "";
    std::string text = From(trailers, sizeof trailers - 1, pick == 2 ? 1 : Below(4) + 1);
    if (Below(50) == 0) text += '\0' + Digits(2);
    return text;
  }

  std::string Next() {
    std::string body;
    int kind = Below(1000);
    if (kind < 300)
      body = Sign() + Decimal();
    else if (kind < 550)
      body = Motion();
    else if (kind < 680)
      body = Printed();
    else if (kind < 780)
      body = Sign() + Extreme();
    else if (kind < 880)
      body = Fuzz();
    else if (kind < 940)
      body = Sign() + Word();
    else if (kind < 997)
      body = Sign() + Hex();
    else
      body = Sign() + Long();
    return Space() + body + Trailer();
  }
};

TEST(BoMotionScanFloat, RandomTokensAsGlibcReadsThem) {
  TokenMaker maker;
  for (int i = 0; i < 1500000; ++i) {
    std::string text = maker.Next();
    ASSERT_TRUE(ScansLikeLibrary(text)) << "case " << i;
  }
}

// Decimal strings at, near and right beside the midpoints between neighbouring floats,
// where a value rounded twice (to double, then to float) would come out wrong.
TEST(BoMotionScanFloat, MidpointsBetweenFloats) {
  std::mt19937_64 random(7);
  char text[1024];
  for (int i = 0; i < 300000; ++i) {
    // Mostly floats whose midpoints have short decimal forms, some from anywhere.
    int exponent =
        i % 10 == 0 ? (int)(random() % 254) + 1 : 127 - 10 + (int)(random() % 50);
    uint32_t bits = ((uint32_t)exponent << 23) | (uint32_t)(random() & 0x7fffff);
    float low = FromBits(bits);
    float high = std::nextafter(low, INFINITY);
    if (std::isinf(high)) continue;
    double midpoint = (double)low + ((double)high - (double)low) / 2;
    std::snprintf(text, sizeof text, "%.800g", midpoint);
    std::string exact = text;
    ASSERT_TRUE(ScansLikeLibrary(exact)) << "case " << i;
    // Rounded to 15 to 17 digits: often nearer the midpoint than half a double's ulp.
    for (int precision = 15; precision <= 17; ++precision) {
      std::snprintf(text, sizeof text, "%.*g", precision, midpoint);
      ASSERT_TRUE(ScansLikeLibrary(text)) << "case " << i;
    }
    std::string above =
        exact + (exact.find('.') == std::string::npos ? ".000001" : "000001");
    ASSERT_TRUE(ScansLikeLibrary(above)) << "case " << i;
    if (exact.find('e') == std::string::npos) {
      // One unit less in the last digit, then 0.9999 of a unit.
      std::string below = exact;
      size_t at = below.size();
      while (below[--at] == '0' || below[at] == '.')
        if (below[at] == '0') below[at] = '9';
      below[at] = (char)(below[at] - 1);
      below += below.find('.') == std::string::npos ? ".9999" : "9999";
      ASSERT_TRUE(ScansLikeLibrary(below)) << "case " << i;
    }
  }
}

// The text ends right before an unreadable page: any read at or past `end` would fault.
TEST(BoMotionScanFloat, NeverReadsPastTheEnd) {
  long page = sysconf(_SC_PAGESIZE);
  char *area = (char *)mmap(nullptr, (size_t)(2 * page), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(area, MAP_FAILED);
  ASSERT_EQ(mprotect(area + page, (size_t)page, PROT_NONE), 0);
  char *end = area + page;

  std::vector<std::string> texts;
  for (const TokenCase &c : tokenCases) texts.push_back(c.text);
  TokenMaker maker;
  for (int i = 0; i < 20000; ++i) {
    std::string text = maker.Next();
    if ((long)text.size() < page / 2) {
      texts.push_back(text);
      texts.push_back(text + "\t-12.3456\t7.5000\n");
    }
  }
  for (const std::string &text : texts) {
    // Every prefix: the scanner sees [start, end) with nothing after it.
    for (size_t length = 0; length <= text.size(); ++length) {
      std::string prefix = text.substr(0, length);
      char *start = end - length;
      std::memcpy(start, prefix.data(), length);
      ASSERT_TRUE(SameScan(prefix, LibraryScan(prefix), OwnScan(start, end)));
    }
  }
  munmap(area, (size_t)(2 * page));
}

// A row read the way the conversion reads it: each scan starts where the last one ended.
TEST(BoMotionScanFloat, ReadsARowNumberByNumber) {
  const std::string row = " 12.5\t-0.0000 1e3 nan(1) 1e+ -inf\r\n";
  const char *end = row.data() + row.size();
  const float expected[] = {12.5f, -0.0f, 1000.0f, NAN, 0.0f, 1.0f, -INFINITY};
  const int consumed[] = {5, 8, 4, 4, 0, 4, 5};
  // "(1)" stops the scan: the fifth scan assigns nothing and consumes nothing.
  size_t offset = 0;
  for (size_t k = 0; k < 7; ++k) {
    float value = 0.0f;
    int taken = BoMotionScanFloat(row.data() + offset, end, &value);
    ASSERT_EQ(taken, consumed[k]) << "number " << k;
    if (k == 4) {
      EXPECT_EQ(Bits(value), 0u);
      offset += 3;  // step over "(1)" by hand to go on
      continue;
    }
    if (std::isnan(expected[k]))
      EXPECT_TRUE(std::isnan(value)) << "number " << k;
    else
      EXPECT_EQ(Bits(value), Bits(expected[k])) << "number " << k;
    offset += (size_t)taken;
  }
  float value = 5.0f;
  EXPECT_EQ(BoMotionScanFloat(row.data() + offset, end, &value), 0);  // "\r\n" alone
  EXPECT_EQ(value, 5.0f);
}

// ---------------------------------------------------------------------------------------
// Formatter

struct FormatCase {
  float value;
  const char *text;
};

TEST(BoMotionFormatFloat, ValuesAsPrintfWritesThem) {
  const FormatCase cases[] = {
      {7.0f, " 7.00\t"},
      {-0.5f, "-0.50\t"},
      {123.456f, " 123.46\t"},
      {0.0f, " 0.00\t"},
      {-0.0f, "-0.00\t"},
      {-0.001f, "-0.00\t"},
      {-0.004999f, "-0.00\t"},
      {0.125f, " 0.12\t"},
      {0.375f, " 0.38\t"},
      {-0.625f, "-0.62\t"},
      {2.875f, " 2.88\t"},
      {0.005f, " 0.00\t"},  // the float is 0.004999999888...
      {0.015f, " 0.01\t"},  // 0.014999999664...
      {1.005f, " 1.00\t"},
      {99.995f, " 100.00\t"},
      {-179.99999f, "-180.00\t"},
      {1e-45f, " 0.00\t"},
      {-1e-45f, "-0.00\t"},
      {16777216.0f, " 16777216.00\t"},
      {1e30f, " 1000000015047466219876688855040.00\t"},
      {FLT_MAX, " 340282346638528859811704183484516925440.00\t"},
      {-FLT_MAX, "-340282346638528859811704183484516925440.00\t"},
      {INFINITY, " inf\t"},
      {-INFINITY, "-inf\t"},
      {NAN, " nan\t"},
      {-NAN, "-nan\t"},
      {FromBits(0x7f800001u), " nan\t"},
      {FromBits(0xffc12345u), "-nan\t"},
  };
  for (const FormatCase &c : cases) {
    EXPECT_TRUE(FormatsLikeLibrary(c.value));
    EXPECT_EQ(LibraryFormat(c.value), c.text) << "glibc differs from the table";
  }
}

TEST(BoMotionFormatFloat, RandomBitPatterns) {
  std::mt19937_64 random(99);
  for (int i = 0; i < 2000000; ++i) {
    float value = FromBits((uint32_t)random());
    ASSERT_TRUE(FormatsLikeLibrary(value)) << "case " << i;
  }
}

// Ties (a value exactly halfway between two hundredths is a multiple of 1/8) and the
// floats nearest the halfway points, where rounding must see the exact binary value.
TEST(BoMotionFormatFloat, HalfwayValuesAndTheirNeighbours) {
  for (int i = -(1 << 17); i <= (1 << 17); ++i)
    ASSERT_TRUE(FormatsLikeLibrary((float)i / 8.0f)) << "eighths " << i;
  std::mt19937_64 random(5);
  for (int i = 0; i < 300000; ++i) {
    int eighths =
        (int)(random() % (1u << 25)) - (1 << 24);  // up to 2^21, where ulp 1/8 ends
    ASSERT_TRUE(FormatsLikeLibrary((float)eighths / 8.0f)) << "eighths " << eighths;
  }
  for (int i = 0; i < 200000; ++i) {
    long k = (long)(random() % 20000000) - 10000000;
    float nearest = (float)((double)(2 * k + 1) / 200.0);
    float value = nearest;
    for (int step = 0; step < 3; ++step) value = std::nextafter(value, -INFINITY);
    for (int step = 0; step < 7; ++step) {
      ASSERT_TRUE(FormatsLikeLibrary(value)) << "halfway " << 2 * k + 1 << "/200";
      value = std::nextafter(value, INFINITY);
    }
  }
  // Around 2^52 / 100, where the formatter hands over to the C library.
  float value = 45035996273704.96f;
  for (int step = 0; step < 100; ++step) value = std::nextafter(value, 0.0f);
  for (int step = 0; step < 200; ++step) {
    ASSERT_TRUE(FormatsLikeLibrary(value));
    ASSERT_TRUE(FormatsLikeLibrary(-value));
    value = std::nextafter(value, INFINITY);
  }
}

TEST(BoMotionFormatFloat, MotionValues) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<float> angle(-1000.0f, 1000.0f);
  for (int i = 0; i < 500000; ++i) ASSERT_TRUE(FormatsLikeLibrary(angle(random)));
}

}  // namespace
