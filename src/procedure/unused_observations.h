// Why a data pass leaves observations out: counted by cause as the pass
// screens them (only rejected observations pay for it), and reported once
// when too few observations could be used.
#pragma once

struct RUVACOM;

// Why a pass does not use an observation; kNone: it is used.
enum class Unused : int {
  kNone,
  kDeleted,     // the program's DELETE statement
  kRunFailed,   // the program's run ended early: an error, STOP or ABORT
  kDependent,   // the dependent value is missing
  kPredicted,   // the program gave no predicted value
  kWeight,      // _WEIGHT_ missing, zero or negative
  kSpecial,     // _LOSS_, _RESID_ or _WGTJPJ_ missing, or _WGTJPJ_ not positive
  kDerivative,  // a derivative missing or too large
  kTooLarge,    // the residual or its contribution too large
  kCauses
};

// The counts of the latest pass.
struct UnusedObservations {
  long count[static_cast<int>(Unused::kCauses)];  // by cause
  long first[static_cast<int>(Unused::kCauses)];  // the first such observation (from 1)
};

inline void note_unused(UnusedObservations* u, Unused why, long observation) {
  const int k = static_cast<int>(why);
  if (u->count[k]++ == 0) u->first[k] = observation;
}

// Logs why too few observations could be used: a parameter with a missing
// starting value, else, for each cause, how many of the observations read
// the latest pass could not use, and the first of them.
void report_unused_observations(RUVACOM* ctx);
// Logs, once per fit after its last pass, the observations left out because
// a value could not be computed (a derivative, or the residual's square or
// contribution, overflows or is not a number): for each such cause how many
// and the first of them. Missing data are left out without a note.
void report_uncomputable_observations(RUVACOM* ctx);
