// What can give a symbol of the model program a different value at each
// observation although it reads no variable of the input data set: a
// RETAIN or CONTROL variable (or an array element with an initial value)
// that the program assigns, a _TEMPORARY_ array it assigns, _OBS_ or _N_.
// Values carried only elsewhere (a counter for PUT) leave the symbol alone;
// RETAIN and array initial values the program never assigns are constants.
#pragma once

#include <string>

#include "host/compiler_types.h"

struct RUVACOM;

// The name of what carries values into `s` (the symbol itself, or the first
// of its inputs in the program's symbol order; an element of a _TEMPORARY_
// array as NAME[i], the array described when its subscripts vary), or ""
// when nothing does. From
// the compiler's data flow, which is conservative: a value that could reach
// `s` on some path counts.
std::string carried_input(RUVACOM* ctx, CMPSYM* s);
