// Whether the data determine a function of the parameters beyond first
// order. With dependent parameters the fits that are equally good form a
// set of parameter values along which a determined function stays
// constant. Its gradient at the estimates lying in the row space of the
// cross products (inverse_in_use.h) is not enough: a*b passes that test
// at a = b when only a + b enters the model. So the check moves a short
// way each side along each undetermined direction, recomputes those
// directions from the model's derivatives there, and asks the function's
// gradient there to stay orthogonal to them.
#pragma once

struct RUVACOM;
struct CMPDER;

// Clears determined[i] for each of the `rows` functions (their gradients
// from the derivative record and its value cells, as gradient_matrix reads
// them) that fails the check at some moved point; rows already clear are
// not looked at. Nothing is done for a fit without dependent parameters.
// Afterwards the parameters are the estimates again and the expressions
// hold their values there.
void confirm_determined(RUVACOM* ctx, const CMPDER* record, double* const* cells, int rows, char* determined);
