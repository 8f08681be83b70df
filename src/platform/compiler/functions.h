// The numeric function library of the programming language: every function
// a program may call by name, with its argument counts and its code. A
// function returns NaN when an argument is NaN or outside its domain, and
// the interpreter turns that into a missing value; the functions that take
// missing arguments themselves (SUM, N, ...) return the missing value.
#pragma once

#include <string_view>

namespace platform::compiler {

struct FunctionDef {
  const char* name;                       // upper case
  int min_args;
  int max_args;                           // -1: no limit
  double (*one)(double);                  // for exactly one argument, or null
  double (*two)(double, double);          // for exactly two arguments, or null
  double (*many)(const double*, int);     // for any count, or null
  bool takes_missing;                     // handles missing arguments itself
};

// The function of that upper-case name, or -1.
int find_function(std::string_view key);
const FunctionDef& function_def(int id);
// The whole table, indexed by id (the interpreter's fast path).
const FunctionDef* function_table();

}  // namespace platform::compiler
