// Numeric values as text in a CSV file: reading a cell and writing a double
// in its shortest form that reads back to the same value.
#pragma once

#include <string>
#include <string_view>

namespace platform::ds {

enum class CellKind {
  Number,      // a finite number
  Missing,     // "", ".", "NA", "NaN", "._" or ".A" to ".Z" (the letter in either case)
  OutOfRange,  // written as a number but beyond the range of a double
  Text,        // anything else
};

// Reads a cell, ignoring blanks around it; sets `value` for Number and Missing.
CellKind read_cell(std::string_view text, double* value);

// Room for the longest text `write_number` produces.
inline constexpr int kNumberTextSize = 32;

// Writes `value`: the shortest round-trip form of a number (0 for -0), "."
// for the ordinary missing value (and for a value with no finite form), "._"
// and ".A" to ".Z" for the special missing values. Returns the end of the text.
char* write_number(double value, char* out);

// The shortest text that reads back to the same double (210, 0.05, 1e-300),
// as `write_number` gives it; "." for every missing value. Names constants
// in programs, labels and messages.
std::string number_text(double value);

}  // namespace platform::ds
