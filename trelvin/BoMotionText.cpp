// BoMotionText: reading and writing the numbers of motion rows, byte for byte as glibc's
// sscanf "%f%n" and printf "% 4.2f\t" do, at a fraction of their cost.
//
// Reading follows glibc's scanf in two steps. First its character loop decides how many
// characters the conversion takes (one character of look-ahead, never given back: "1e+"
// is taken whole though only "1" is a number); then the taken text is converted as
// strtof converts it. A token of the usual shape ("-123.4567": up to 7 digits, a point,
// up to 7 digits) is read eight characters at a time and divided once in float. Every
// other token goes through a general scan that follows scanf's loop a character at a
// time; it converts with exact arithmetic where one correctly rounded float or double
// operation gives the value, else with std::from_chars, which rounds correctly too, and
// only for the rare rest (hexadecimal, out of range) with strtof itself on a
// NUL-terminated copy of the taken text, which is what scanf does.
//
// Writing uses that (double)value * 100 is exact for every float (a 24-bit significand
// times the 5-bit one of 25, times 4), so rounding it to an integer with ties to even is
// printf's rounding of the exact binary value to two decimals. Values too large for that
// integer in a double's 52 bits, infinities and NaN are rare enough to go to snprintf.
#include "BoMotionText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

// isspace in the C locale.
inline bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c) {
  return (unsigned char)(c - '0') < 10;
}

inline bool IsHexDigit(char c) {
  return IsDigit(c) || (unsigned char)((c | 0x20) - 'a') < 6;
}

// True when c is the letter `lower` in either case; `lower` is a lower-case letter, so
// no other byte (NUL included) matches.
inline bool IsLetter(char c, char lower) {
  return (c | 0x20) == lower;
}

// Powers of ten exact in float (5^10 < 2^24) and in double (5^22 < 2^53).
const float floatPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                             1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
const double doublePowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Eight characters at a time (little-endian loads): in each byte of the result, zero
// for a digit and not zero for anything else.
inline uint64_t NonDigits(uint64_t chunk) {
  uint64_t high = (chunk & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u;
  uint64_t low =
      ((chunk & 0x0F0F0F0F0F0F0F0Fu) + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u;
  return high | low;
}

// Bit 8i+7 set where character i of the chunk is not a digit, every other bit clear.
inline uint64_t NonDigitMarks(uint64_t chunk) {
  uint64_t flags = NonDigits(chunk);
  return (((flags & 0x7F7F7F7F7F7F7F7Fu) + 0x7F7F7F7F7F7F7F7Fu) | flags) &
         0x8080808080808080u;
}

// The number the chunk's first `count` characters (digits, 0 to 8 of them) spell. They
// are shifted to the top so that the bytes below read as leading zeros, then combined
// pairwise: two digits per byte, four per 16 bits, eight per 32 bits.
inline uint64_t DigitValue(uint64_t chunk, int count) {
  uint64_t digits = chunk & 0x0F0F0F0F0F0F0F0Fu;
  int shift = 64 - 8 * count;  // 64 for no digit, done in two steps
  digits = (digits << (shift / 2)) << (shift - shift / 2);
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFu;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFu;
  digits = (digits * 10000 + (digits >> 32)) & 0xFFFFFFFFu;
  return digits;
}

const uint64_t integerPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// The usual token in one go, without a branch on its characters: an optional sign, at
// most 7 characters of sign and digits before an optional point, at most 7 digits after
// it, at least one digit in all. Needs 16 characters from `token` before `end`. Where
// the token ends is found from two loads at `token` alone, so that the next scan can
// start early; the value follows from a third load. Gives the characters taken, the
// digits as an integer and the count after the point, or 0 when the token is not of
// this shape (the character loop then takes it).
int ScanShortDecimal(const char *token, const char *end, bool *negative,
                     uint64_t *mantissa, long *scale) {
  if constexpr (std::endian::native != std::endian::little) return 0;
  if (end - token < 16) return 0;
  uint64_t low, high;
  std::memcpy(&low, token, sizeof low);
  std::memcpy(&high, token + 8, sizeof high);
  // A sign reads as a leading '0'.
  uint64_t sign = (uint64_t)((*token == '-') | (*token == '+'));
  low = (low & ~(0xFFu * sign)) | (0x30u * sign);
  uint64_t lowMarks = NonDigitMarks(low);
  int whole = std::countr_zero(lowMarks) / 8;
  if (whole == 8) return 0;
  uint64_t value = DigitValue(low, whole);
  int fraction = 0;
  int length = whole;
  if (token[whole] == '.') {
    // The first mark past the point, in the low chunk or else (countr_zero of nothing
    // being 64) in the high one; chosen by a mask, as the digits before the point vary.
    uint64_t after = lowMarks & (lowMarks - 1);
    uint64_t inHigh = 0 - (uint64_t)(after == 0);
    int stopBit = std::countr_zero(after) +
                  (int)((uint64_t)std::countr_zero(NonDigitMarks(high)) & inHigh);
    length = stopBit / 8;
    fraction = length - whole - 1;
    if (fraction >= 8) return 0;
    uint64_t digits;
    std::memcpy(&digits, token + whole + 1, sizeof digits);
    value = value * integerPowers[fraction] + DigitValue(digits, fraction);
  }
  if (whole - (int)sign + fraction == 0) return 0;
  *negative = *token == '-';
  *mantissa = value;
  *scale = fraction;
  return length;
}

// -value when `negative`, else value, without a branch on the (unpredictable) sign.
inline float Signed(float value, bool negative) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits ^= (uint32_t)negative << 31;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// What scanf does with the text it took: strtof on a NUL-terminated copy of it. Gives
// false when strtof takes no character (scanf then assigns nothing).
bool ConvertByLibrary(const char *start, const char *stop, float *value) {
  size_t length = (size_t)(stop - start);
  char local[256];
  char *copy = length < sizeof local ? local : (char *)std::malloc(length + 1);
  std::memcpy(copy, start, length);
  copy[length] = '\0';
  char *taken = copy;
  float result = std::strtof(copy, &taken);
  bool converted = taken != copy;
  if (copy != local) std::free(copy);
  if (converted) *value = result;
  return converted;
}

// "nan", "inf" or "infinity" in any case, from `word` (after the sign). scanf gives up
// on a word that stops short ("na", "infin"); it takes "inf" alone when the next
// character is not an 'i', and never takes a NaN's "(...)".
int ScanWord(const char *text, const char *word, const char *end, bool negative,
             float *value) {
  const char *p = word;
  float result;
  if (IsLetter(*p, 'n')) {
    if (end - p < 3 || !IsLetter(p[1], 'a') || !IsLetter(p[2], 'n')) return 0;
    p += 3;
    result = std::numeric_limits<float>::quiet_NaN();
  } else {
    if (end - p < 3 || !IsLetter(p[1], 'n') || !IsLetter(p[2], 'f')) return 0;
    p += 3;
    if (p < end && IsLetter(*p, 'i')) {
      if (end - p < 5 || !IsLetter(p[1], 'n') || !IsLetter(p[2], 'i') ||
          !IsLetter(p[3], 't') || !IsLetter(p[4], 'y'))
        return 0;
      p += 5;
    }
    result = std::numeric_limits<float>::infinity();
  }
  *value = Signed(result, negative);
  return (int)(p - text);
}

// A hexadecimal token; `prefix` points at its "0x". Hex digits with at most one point,
// then 'p' with an optional sign and decimal digits, the 'p' only after a digit. The
// "0x" alone is refused; whatever else was taken is handed to strtof.
int ScanHex(const char *text, const char *start, const char *prefix, const char *end,
            float *value) {
  const char *p = prefix + 2;
  bool digits = false;
  bool point = false;
  for (; p < end; ++p) {
    if (IsHexDigit(*p)) {
      digits = true;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits && p < end && IsLetter(*p, 'p')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    while (p < end && IsDigit(*p)) ++p;
  }
  if (p == prefix + 2) return 0;
  if (!ConvertByLibrary(start, p, value)) return 0;
  return (int)(p - text);
}

// Every token, one character at a time, following scanf's loop.
[[gnu::noinline]] int ScanGeneral(const char *text, const char *end, float *value) {
  const char *p = text;
  while (p < end && IsSpace(*p)) ++p;
  if (p == end || *p == '\0') return 0;

  // The sign, then the kind of token.
  const char *start = p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') {
    ++p;
    if (p == end) return 0;
  }
  if (IsLetter(*p, 'n') || IsLetter(*p, 'i'))
    return ScanWord(text, p, end, negative, value);
  if (*p == '0' && end - p > 1 && IsLetter(p[1], 'x'))
    return ScanHex(text, start, p, end, value);

  // Decimal: digits, an optional point and digits, at least one digit in all. The first
  // 19 significant digits are gathered in `mantissa`; `scale` counts the digits after the
  // point that went into it.
  const char *digitsStart = p;
  uint64_t mantissa = 0;
  int significant = 0;
  long scale = 0;
  for (; p < end && IsDigit(*p) && significant <= 19; ++p) {
    mantissa = mantissa * 10 + (uint64_t)(*p - '0');
    if (mantissa != 0) ++significant;
  }
  while (p < end && IsDigit(*p)) ++p;  // beyond 19 digits only from_chars reads them
  bool gotDigit = p > digitsStart;
  if (p < end && *p == '.') {
    ++p;
    const char *fractionStart = p;
    for (; p < end && IsDigit(*p) && significant <= 19; ++p) {
      mantissa = mantissa * 10 + (uint64_t)(*p - '0');
      if (mantissa != 0) ++significant;
      ++scale;
    }
    while (p < end && IsDigit(*p)) ++p;
    gotDigit = gotDigit || p > fractionStart;
  }
  if (!gotDigit) return 0;

  // The exponent. scanf takes an 'e' and a sign after it even when no digit follows;
  // strtof then converts without them.
  const char *numberEnd = p;
  long exponent = 0;
  if (p < end && IsLetter(*p, 'e')) {
    ++p;
    bool exponentNegative = false;
    if (p < end && (*p == '+' || *p == '-')) {
      exponentNegative = *p == '-';
      ++p;
    }
    const char *exponentDigits = p;
    for (; p < end && IsDigit(*p); ++p) {
      if (exponent < 1000000) exponent = exponent * 10 + (*p - '0');
    }
    if (p > exponentDigits) {
      numberEnd = p;
      if (exponentNegative) exponent = -exponent;
    } else {
      exponent = 0;
    }
  }

  // The value of [digitsStart, numberEnd), rounded once.
  float result;
  long power = exponent - scale;
  bool done = false;
  if (significant <= 19) {
    if (mantissa <= (1u << 24) && power >= -10 && power <= 10) {
      // Both operands exact in float: one correctly rounded operation.
      float whole = (float)mantissa;
      result = power < 0 ? whole / floatPowers[-power] : whole * floatPowers[power];
      done = true;
    } else if (mantissa <= (1ull << 53) && power >= -22 && power <= 22) {
      // Correctly rounded in double, within float's normal range. Rounding that again
      // to float is exact unless it landed on a midpoint between two floats (the low 29
      // of the 52 fraction bits are then 1 followed by zeros): leave those to from_chars.
      double whole = (double)mantissa;
      double quotient =
          power < 0 ? whole / doublePowers[-power] : whole * doublePowers[power];
      uint64_t bits;
      std::memcpy(&bits, &quotient, sizeof bits);
      if ((bits & 0x1fffffffu) != 0x10000000u) {
        result = (float)quotient;
        done = true;
      }
    }
  }
  if (!done) {
    std::from_chars_result read = std::from_chars(digitsStart, numberEnd, result);
    if (read.ec != std::errc() || read.ptr != numberEnd) {
      // Out of range (from_chars then stores nothing): strtof gives the infinity, zero
      // or subnormal scanf stores.
      if (!ConvertByLibrary(start, numberEnd, value)) return 0;
      return (int)(p - text);
    }
  }
  *value = Signed(result, negative);
  return (int)(p - text);
}

}  // namespace

int BoMotionScanFloat(const char *text, const char *end, float *value) {
  // The common token ("-123.4567" after a tab) without a loop or a branch on its
  // characters; everything else, and a token near `end`, goes to the general scan.
  const char *p = text;
  while (p < end && IsSpace(*p)) ++p;
  bool negative;
  uint64_t mantissa;
  long scale;
  int length = ScanShortDecimal(p, end, &negative, &mantissa, &scale);
  if (length == 0) return ScanGeneral(text, end, value);
  p += length;
  // An exponent, or the "x" of "0x", would continue the token.
  if (IsLetter(*p, 'e') || IsLetter(*p, 'x') || mantissa > (1u << 24))
    return ScanGeneral(text, end, value);
  // Both operands exact in float: one correctly rounded operation.
  float result = (float)mantissa / floatPowers[scale];
  *value = Signed(result, negative);
  return (int)(p - text);
}

int BoMotionFormatFloat(char *out, float value) {
  static const char pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  float magnitude = std::fabs(value);
  double hundredths = (double)magnitude * 100.0;
  if (!(hundredths < 0x1p52)) {
    // Values from 2^52 / 100 on (all integers), infinities and NaN.
    char text[BO_MOTION_FORMAT_MAX + 8];
    int length = std::snprintf(text, sizeof text, "% 4.2f\t", (double)value);
    std::memcpy(out, text, (size_t)length);
    return length;
  }
  // Adding and taking away 2^52 rounds a value below 2^52 to an integer, ties to even.
  double rounded = hundredths + 0x1p52;
  rounded = rounded - 0x1p52;
  uint64_t cents = (uint64_t)rounded;
  uint64_t whole = cents / 100;
  unsigned fraction = (unsigned)(cents % 100);

  // The digits of the whole part, two at a time from the last.
  char digits[20];
  char *first = digits + sizeof digits;
  while (whole >= 100) {
    unsigned pair = (unsigned)(whole % 100);
    whole /= 100;
    first -= 2;
    std::memcpy(first, pairs + 2 * pair, 2);
  }
  if (whole >= 10) {
    first -= 2;
    std::memcpy(first, pairs + 2 * whole, 2);
  } else {
    *--first = (char)('0' + whole);
  }

  char *o = out;
  *o++ = std::signbit(value) ? '-' : ' ';
  size_t count = (size_t)(digits + sizeof digits - first);
  std::memcpy(o, first, count);
  o += count;
  *o++ = '.';
  std::memcpy(o, pairs + 2 * fraction, 2);
  o += 2;
  *o++ = '\t';
  return (int)(o - out);
}
