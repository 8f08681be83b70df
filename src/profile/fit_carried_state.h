// What carries values from one observation to the next into the model's
// predicted value (carried_values.h). The fit plots score the model one
// grid point at a time, so with any of these their curve or surface is not
// the model the fit used at the observations.
#pragma once

#include <string>

struct RUVACOM;

// The name of what carries values into the predicted value, or "" when
// nothing does.
std::string carried_into_prediction(RUVACOM* ctx);
