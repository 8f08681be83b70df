// The host's rendering of numbers in fixed-width fields: the decimal codes of
// `zfmt`, the missing-value marks of `zfmmiss`, the decimals that `zpfmt`
// chooses for a magnitude, and the power-of-ten field of `xpfs`.
//
// Decimal codes: 0 to 32 fixed decimals (fewer when the value would not fit
// otherwise); 89 and 99 the best rendering, showing as many significant
// digits as the width allows in fixed or E notation, whichever shows more;
// 98 fixed notation with every decimal that fits; -99 E notation with every
// mantissa digit that fits; -1 to -32 E notation with that many mantissa
// decimals. A field that cannot hold the value at all is filled with '*'.
#pragma once

#include <string>

namespace platform {

// `value` rendered right-aligned in exactly `width` characters (width >= 1);
// false when it did not fit and the field holds asterisks.
bool format_number(double value, int width, int code, std::string* field);

// The shortest rendering of `value` by decimal code `code` without padding,
// or an empty string when it needs more than `width` characters.
std::string render_number(double value, int width, int code);

// The mark of a missing value: "." for the ordinary and the special missing
// value, "_" for "._", the letter for ".A" to ".Z".
std::string missing_mark(double value);

// The decimals that show a value of this magnitude in `width` columns with
// fixed notation, or 99 when even its integer part does not fit.
int fixed_decimals(double value, int width);

// 10^-decimals with `decimals` decimals, right-aligned in `width` bytes at
// `field` (no terminator); the leading zero is dropped when it does not fit.
// False when the field is too narrow (filled with '*').
bool power_of_ten_field(int width, int decimals, char* field);

// `value` right-aligned in `width` bytes at `field` (no terminator); false
// when it does not fit (filled with '*').
bool integer_field(long long value, int width, char* field);

}  // namespace platform

namespace platform {

// A p-value in `width` bytes with `decimals` decimals: the less-than form
// ("<.0001") below 10^-decimals, negative values counted as 0, the missing
// mark for a missing value.
std::string pvalue_field(double value, int width, int decimals);

}  // namespace platform
