// Missing values. A double is missing when the top 16 bits of its bit
// pattern are all ones, whatever the low 48 bits hold; only the pattern
// counts, so an ordinary NaN (0x7FF8...) is a value, not a missing value.
// Bits 40-47 tell the kinds apart: "._", ".", ".A" to ".Z", and the special
// missing value that marks a result that was not computed.
#pragma once

#include <bit>
#include <cstdint>

inline constexpr std::uint64_t kMissingMask = 0xFFFF000000000000ull;
inline constexpr std::uint64_t kMissingBits = 0xFFFFD10000000000ull;         // "."
inline constexpr std::uint64_t kMissingUnderscoreBits = 0xFFFFD00000000000ull;  // "._"
inline constexpr std::uint64_t kMissingLetterBase = 0xFFFFD20000000000ull;     // ".A"
inline constexpr std::uint64_t kSpecialMissingBits = 0xFFFFFE0000000000ull;    // not computed

inline double missing_value() { return std::bit_cast<double>(kMissingBits); }
inline double special_missing_value() { return std::bit_cast<double>(kSpecialMissingBits); }
// The missing value ".A" to ".Z" for letter 'A' to 'Z'.
inline double letter_missing_value(char letter) {
  return std::bit_cast<double>(kMissingLetterBase +
                               (static_cast<std::uint64_t>(letter - 'A') << 40));
}
inline double underscore_missing_value() { return std::bit_cast<double>(kMissingUnderscoreBits); }

inline int wzmis(double d) {
  return (std::bit_cast<std::uint64_t>(d) & kMissingMask) == kMissingMask;
}
inline bool is_missing(double d) { return wzmis(d) != 0; }
inline bool is_special_missing(double d) {
  return std::bit_cast<std::uint64_t>(d) == kSpecialMissingBits;
}

// The order of missing values among themselves ("._" first, then ".", then
// ".A" to ".Z"); every missing value sorts below every number.
inline int missing_rank(double d) {
  return static_cast<int>((std::bit_cast<std::uint64_t>(d) >> 40) & 0xFF);
}

int wzmisn(const double* values, long count);
