#include "platform/compiler/language_functions.h"

#include <iterator>

namespace platform::compiler {
namespace {

constexpr LanguageFunction kLanguageFunctions[] = {
    {"SUBSTR", LanguageFn::Substr, 2, 3, "2 or 3", false, true},
    {"TRIM", LanguageFn::Trim, 1, 1, "1", false, true},
    {"LEFT", LanguageFn::Left, 1, 1, "1", false, true},
    {"STRIP", LanguageFn::Strip, 1, 1, "1", false, true},
    {"UPCASE", LanguageFn::Upcase, 1, 1, "1", false, true},
    {"LOWCASE", LanguageFn::Lowcase, 1, 1, "1", false, true},
    {"LENGTH", LanguageFn::Length, 1, 1, "1", false, false},
    {"INDEX", LanguageFn::Index, 2, 2, "2", false, false},
    {"DIM", LanguageFn::Dim, 1, 2, "1 or 2", true, false},
    {"HBOUND", LanguageFn::Hbound, 1, 2, "1 or 2", true, false},
    {"LBOUND", LanguageFn::Lbound, 1, 2, "1 or 2", true, false},
};

}  // namespace

const LanguageFunction* find_language_function(std::string_view key) {
  for (const auto& f : kLanguageFunctions)
    if (key == f.name) return &f;
  return nullptr;
}

}  // namespace platform::compiler
