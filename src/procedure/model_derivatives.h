// The analytic derivatives the set-up asks the host compiler for. These are
// the procedure's only calls of the compiler's derivative services.
#pragma once

#include "host/compiler_types.h"

struct RUVACOM;

// Option codes of a derivative request: first derivatives, or second
// derivatives of first derivatives made before; on demand, the same for a
// check whose passes alone run their statements (which the request drops,
// without a message, when the compiler cannot differentiate the program).
inline constexpr int kDeriveFirst = 101;
inline constexpr int kDeriveSecond = 201;
inline constexpr int kDeriveFirstOnDemand = 102;
inline constexpr int kDeriveSecondOnDemand = 202;
// On demand, the second derivatives of the objectives as products of first
// derivative vectors, where the program factors so (compiler service 203).
inline constexpr int kDeriveProductsOnDemand = 203;

// Derivatives of the `objectives` with respect to `wrt` into a new record
// `*record`; false after a compile error (the compiler has reported it) or
// a request on demand dropped.
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
