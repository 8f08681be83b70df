// Names of data sets, libraries and variables.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A name: a letter or underscore, then letters, digits or underscores, at
// most 32 characters.
bool valid_name(std::string_view name);
// Names compare without regard to case.
bool same_name(std::string_view a, std::string_view b);
std::string upper_case(std::string text);
std::string lower_case(std::string text);

}  // namespace platform
