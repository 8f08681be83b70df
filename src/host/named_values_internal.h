// Shared steps of the named-value functions: the measured name, the debug
// switch, the failure report and the typed reads and writes that carry the
// reporting operation's name.
#pragma once

#include "host/kernel_handle.h"
#include "host/kernel_records.h"

namespace named_values {

inline constexpr int kDouble = 2;
inline constexpr int kInteger = 3;
inline constexpr int kText = 4;
inline constexpr KOVLONG kNotInteger = -9007199254740992LL;  // -2^53
inline constexpr KOVLONG kIntegerBound = 9007199254740992LL;  // 2^53
inline constexpr int kLookupBuffer = 100;

// A name with its length measured.
struct Name {
  const QXChar* text;
  QXStrSize length;
  int shown() const;  // the length as an int for "%.*S"
};
Name measure(const QXChar* name, int name_l);

QX_HNDL_S* handle();
QXJnlh journal();
// Tracing is on while the named value "OSENV.KOV_QXNR_DEBUG" exists.
bool debug_on();
bool wrong_type(QXStatus status);

// Journals a failing get or set of `name` in operation `op` with its status.
void report_failure(bool setter, const Name& name, const char* op, QXStatus status);

// The typed reads and writes; `op` names the operation in reports and traces.
// `trace` writes the wide trace line of a successful read.
int text_get(const Name& name, QXChar* result, int result_l, const char* op, bool trace = true);
KOVLONG integer_get(const Name& name, KOVLONG defval, const char* op);
QXStatus value_set(const Name& name, int type, const void* value, QXMemSize size, const char* op);
QXStatus integer_set(const Name& name, KOVLONG value);

}  // namespace named_values
