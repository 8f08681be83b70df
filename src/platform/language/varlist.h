// Variable lists: names, numbered ranges x1-x3 (expanded here), ranges
// a--b, a-NUMERIC-b, a-CHARACTER-b, prefixes x: and _ALL_, _NUMERIC_,
// _CHARACTER_.
#pragma once

#include "platform/language/ast.h"
#include "platform/language/cursor.h"

namespace platform::language {

// Whether the next tokens begin a variable-list item. With `option_ends`,
// "name =" is the next option, not an item.
bool at_varlist_item(Cursor& in, bool option_ends = false);

// Reads one item (a numbered range gives several) and appends it to `out`.
void parse_varlist_item(Cursor& in, VarList* out);

// Reads items while they continue; at least one when `required`.
VarList parse_varlist(Cursor& in, bool required, const char* what = "a variable name",
                      bool option_ends = false);

// An item as text: a name as written, "a--b", "x:", "_ALL_" ...
std::string varlist_item_text(const VarListItem& item);
// The items as text.
std::vector<std::string> varlist_texts(const VarList& list);
// The item a text of varlist_texts stands for.
VarListItem varlist_item_of_text(const std::string& text);

// Largest numbered range accepted (x1-x10000).
inline constexpr long kMaxNumberedRange = 100000;

}  // namespace platform::language
