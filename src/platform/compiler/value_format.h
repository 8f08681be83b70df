// Values written as text: numbers in the best form that fits a width (the
// default, BESTw.), fixed w.d, scientific Ew., and character values $w.
#pragma once

#include <string>

namespace platform::compiler {

// The number in at most `width` characters, left-aligned, no padding.
std::string best_text(double value, int width = 12);
// A number under a format as written ("8.2", "BEST10.", "E12.", ""), trimmed.
std::string format_number(double value, const std::string& format);
// Characters under a format as written ("$10.", ""); leading and trailing
// blanks removed when there is no format.
std::string format_chars(const std::string& text, const std::string& format);

}  // namespace platform::compiler
