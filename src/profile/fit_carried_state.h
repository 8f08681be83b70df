// What carries values from one observation to the next into the model's
// predicted value: a RETAIN or CONTROL variable (or an array element with
// an initial value) that the program assigns, a _TEMPORARY_ array it
// assigns, _OBS_ or _N_. The fit plots score the model one grid point at a
// time, so with any of these their curve or surface is not the model the
// fit used at the observations. Values carried only elsewhere (a counter
// for PUT) leave the prediction alone.
#pragma once

#include <string>

struct RUVACOM;

// The name of what carries values into the predicted value (the first of
// them in the program's symbol order), or "" when nothing does. From the
// compiler's data flow, which is conservative: a value that could reach
// the prediction on some path counts.
std::string carried_into_prediction(RUVACOM* ctx);
