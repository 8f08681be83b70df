// The message gate of the random-number library: every message passes
// through zrngmsg, which decides from named values whether it is shown,
// counts notes and errors against limits and writes it to the kernel's
// default journal.
//
//   "OSENV.KOV_RNG_SEVERITY"    raises or lowers information notes (1)
//   "OSENV.KOV_RNG_MESSAGES"    the lowest severity shown (default: errors)
//   "OSENV.KOV_RNG_NOTE_LIMIT"  notes still to show (counts down from 100)
//   "OSENV.KOV_RNG_ERROR_LIMIT" warnings and errors still to show (from 100)
#pragma once

#include "host/kernel_records.h"

// Writes message `msg` with its inserts at `severity`. Returns 0 when the
// message was not written, otherwise the journal's status.
QXStatus zrngmsg(QXSeverity severity, QXStatus msg, ...);
