// The functions of the language that are not numeric library functions:
// the character functions and the array functions. The code generator
// builds each of them from its own instructions.
#pragma once

#include <string_view>

namespace platform::compiler {

enum class LanguageFn { Substr, Trim, Left, Strip, Upcase, Lowcase, Length, Index, Dim, Hbound, Lbound };

struct LanguageFunction {
  const char* name;
  LanguageFn id;
  int min_args;
  int max_args;
  const char* arity_text;  // for the message on a wrong count
  bool array_argument;     // the first argument names an array
  bool character_result;
};

const LanguageFunction* find_language_function(std::string_view key);

}  // namespace platform::compiler
