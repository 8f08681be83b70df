// The analytic derivatives the set-up asks the host compiler for. These are
// the procedure's only calls of the compiler's derivative services.
#pragma once

#include "host/compiler_types.h"

struct RUVACOM;

// Option codes of a derivative request: first derivatives, or second
// derivatives of first derivatives made before.
inline constexpr int kDeriveFirst = 101;
inline constexpr int kDeriveSecond = 201;

// Derivatives of the `objectives` with respect to `wrt` into a new record
// `*record`; false after a compile error (the compiler has reported it).
bool derive_model(RUVACOM* ctx, CMPDER** record, CMPLIST* objectives, CMPLIST* wrt, int option_code);
// Derivatives of ESTIMATE or CONTRAST expressions with respect to the
// parameters into a new record, and the symbols the expressions are built
// from (`*ninputs` of them); false after a compile error.
bool derive_expressions(RUVACOM* ctx, CMPDER** record, CMPLIST* expressions, CMPSYM*** inputs, int* ninputs);
// LISTDER and LISTDEP listings.
void list_derivatives(RUVACOM* ctx, CMPDER* record);
void list_dependencies(RUVACOM* ctx);

// The derivative of objective `objective` (its index in the record's
// objectives) with respect to `wrt` in a derivative record, or null when the
// record has no non-zero derivative for it.
CMPSYM* generated_derivative(const CMPDER* record, const CMPSYM* wrt, int objective);
