// BoMotionText: the numbers of a motion row as text. Reading gives exactly what the C
// library's sscanf "%f%n" gives and writing exactly what printf "% 4.2f\t" writes, in
// the C locale and the default rounding mode, without the cost of a format interpreter.
//
// Neither function keeps state; both may be called from several threads at once. They
// allocate nothing except, when reading, for a rare token of more than 255 characters
// that must go to the C library; errno may change as it does with sscanf.
#ifndef TRELVIN_BOMOTIONTEXT_H
#define TRELVIN_BOMOTIONTEXT_H

// Room BoMotionFormatFloat needs at most: a sign, the 39 digits of FLT_MAX, ".00" and
// the tab, with some to spare.
#define BO_MOTION_FORMAT_MAX 48

// Reads one number from the text [text, end) as sscanf(text, "%f%n", value, &n) does:
// skips leading white space (isspace in the C locale: blank, \t, \n, \v, \f, \r), takes
// the characters glibc's scanf takes for %f (decimal with optional exponent,
// hexadecimal "0x...", "inf", "infinity", "nan", any case, with an optional sign) and
// stores the same float, bit for bit. A NUL byte ends the text as it does for sscanf.
// Returns the characters consumed, white space included. Returns 0 and leaves *value
// untouched where sscanf assigns nothing: at the end of the text, on white space alone,
// and on tokens scanf rejects ("-", ".", "e5", "0x", "infin", ...). A token scanf
// takes in part is taken the same way: "1e+" gives 1 and consumes 3 characters,
// "nan(12)" gives NaN and consumes 3. Never reads at or past `end`; `text` may equal
// `end`. Requires end - text <= INT_MAX.
int BoMotionScanFloat(const char *text, const char *end, float *value);

// Writes `value` as printf("% 4.2f\t", (double)value) does into `out`, which must have
// room for BO_MOTION_FORMAT_MAX characters, and returns the number written; no NUL is
// written. Two decimals rounded from the exact binary value, ties to even (0.125 gives
// " 0.12"); a minus sign for every value whose sign bit is set (-0.0 and -0.001 give
// "-0.00"), a blank otherwise; large values with all their digits; " inf", "-inf",
// " nan" and "-nan".
int BoMotionFormatFloat(char *out, float value);

#endif
