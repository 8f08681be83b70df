// Typed access to the kernel library's named values: get and set by type
// with a default, a per-name countdown and a keyword lookup. Names and text
// values are wide strings; a name length below 1 means the name is
// NUL-terminated. Failures are journalled to the kernel's default journal;
// the existence of "OSENV.KOV_QXNR_DEBUG" traces every access. A null name
// (or no kernel handle) makes getters return their default, setters 0.
#pragma once

#include "host/kernel_records.h"

// The integer a text stands for: blanks around it, an optional sign, digits
// and an optional point followed only by zeros. -2^53 when the text is not
// such an integer; magnitudes above 2^53 give +-2^53.
KOVLONG qxnrstol(const QXChar* str);

// Reads a text value into `result` (room for `result_l` characters with the
// terminator); returns its length, 0 when absent.
int qxnrtget(const QXChar* name, int name_l, QXChar* result, int result_l);
// The same into a byte buffer of `result_l` bytes, in the session encoding;
// returns the byte length.
int qxnrcget(const QXChar* name, int name_l, char* result, int result_l);
// Reads an integer; a text value is parsed with qxnrstol.
KOVLONG qxnrlget(const QXChar* name, int name_l, KOVLONG defval);
double qxnrdget(const QXChar* name, int name_l, double defval);

QXStatus qxnrtset(const QXChar* name, int name_l, const QXChar* value, int value_l);
// Stores an integer; a name that holds text gets the integer as text.
QXStatus qxnrlset(const QXChar* name, int name_l, KOVLONG value);
QXStatus qxnrdset(const QXChar* name, int name_l, double value);

// A countdown kept under the name: the first call stores and returns
// `limit`; each later call returns the stored value less 1 (not below -1)
// and stores it.
int qxnrlimit(const QXChar* name, int name_l, KOVLONG limit);
// Maps the name's text (blanks trimmed, upper-cased) to the value of the
// first matching keyword among pairs (const QXChar* keyword, int value)
// ended by a null keyword; `defval` when none matches.
int qxnrlook(const QXChar* name, int name_l, int defval, ...);
