// A parsed procedure statement before it becomes a host STMT record: the
// canonical keyword, the option bits and the option fields.
#pragma once

#include <bitset>
#include <map>
#include <string>
#include <vector>

#include "platform/language/ast.h"

namespace platform::language {

struct FieldValue {
  char type = 0;                   // the stfield code (host/statement_records.h)
  unsigned char mode = 0;          // data sets: 1 read, 2 written
  double number = 0;               // kNumber
  std::string keyword;             // kKeyword: upper case, without a trailing $
  std::string text;                // kText; kDataset: the data-set name as written
  std::vector<std::string> names;  // kNames: names as written
  std::vector<double> numbers;     // kNumbers
  std::vector<int> integers;       // kIntegers
  const Stmt* exprs = nullptr;     // kExprs: the syntax-tree statement
  int count = 0;                   // kExprs: number of expressions
  SourcePos pos;
};

struct ProcStatement {
  std::string keyword;         // RUVA, PARMS, BOUNDS, MODEL, OUTPUT, ...
  SourcePos pos;
  std::bitset<256> bits;
  std::map<int, FieldValue> fields;
  const Stmt* ast = nullptr;   // MODEL, PARMS, CONTROL, ESTIMATE, CONTRAST
};

}  // namespace platform::language
