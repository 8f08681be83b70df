// The texts under which a model variable is shown, in tables and graphs
// alike: a data-set variable shows its name, its label (the name when it
// has none) and a short label (the label when it is shorter than the
// name, else the name); a variable the program computes shows its own
// name for all three.
#pragma once

#include <string>

#include "host/compiler_types.h"
#include "host/service_types.h"

struct RUVACOM;

struct SymbolTexts {
  std::string name, label, short_label;
  int varnum = 0;  // 1-based variable number, 0 when not a data-set variable
};
SymbolTexts symbol_texts(const RUVACOM* ctx, const CMPSYM* sym);
// A text object of the string.
xobskey text_of(const std::string& s);
