// The kernel-library extension "qxtab": tables of named, typed columns whose
// rows are the records of a record file of "qxrec" (host/ext_refit_engine_qxprof.h), read
// one at a time into the table's row buffer. A column's user flags are the
// caller's own marks; the statistics extension (host/ext_column_statistics_qxbstat.h) leaves out
// the columns marked QXTAB_UFLAG_EXCLUDE.
#pragma once

#include <cstdint>

#include "host/kernel_object_header.h"
#include "host/types.h"

struct QXREC_FILE;

inline constexpr std::int32_t QXTAB_ROW_BUF = 1;        // rows are read into the table's buffer
inline constexpr std::int32_t QXTAB_ACTION_DELETE = 1;  // a table is deleted with its instance
inline constexpr std::int32_t QXTAB_COL_DBL = 3;        // an 8-byte double; the only type kept
inline constexpr std::uint32_t QXTAB_UFLAG_EXCLUDE = 2; // not an analysis column

struct QXTAB_PARMS {
  std::int32_t flags;
  const void* locale;           // null: the session's
  std::int32_t default_action;  // QXTAB_ACTION_DELETE
  void* user_ptr;
  std::int32_t encoding;
};

struct QXTAB_TABLE_PARMS {
  std::int32_t row_style;  // QXTAB_ROW_BUF
  const QXChar* name;
  std::int32_t name_len;
  const QXChar* title;  // may be null
  std::int32_t title_len;
  std::int32_t status;
  std::int64_t nUtRec;  // rows the caller expects; 0: unknown
  bool persistent;
  std::int32_t default_action;
  void* user_ptr;
};

struct QXTAB_COL_PARMS {
  const QXChar* name;
  std::int32_t name_len;
  std::int32_t type;  // QXTAB_COL_DBL
  std::int32_t size;  // bytes: 8
  const QXChar* label;  // may be null
  std::int32_t label_len;
};

// A column as the table keeps it; its fields are read, not written.
struct QXTAB_COLUMN {
  QXGeneric gen;
  std::int32_t index;   // 0-based, order of creation
  std::int32_t type;
  std::int32_t offset;  // byte offset in a row
  std::uint32_t user_flags;
};

struct QXTAB_TABLE;

// Operations of one table.
struct QXTAB_TABLE_OPS {
  // A new last column, or null (unknown type or size, no room, or a file
  // already attached).
  QXTAB_COLUMN* (*NewColumn)(QXTAB_TABLE* table, const QXTAB_COL_PARMS* parms, void* journal);
  // The rows become the records of `file`, which must be at least one row
  // long; 0, or nonzero when it cannot be attached.
  int (*AttachFile)(QXTAB_TABLE* table, QXREC_FILE* file);
  // Sets (`on`) or clears the bits of `flags` in column k's user flags; 0,
  // or nonzero when there is no column k.
  int (*SetUserFlags)(QXTAB_TABLE* table, std::int32_t k, std::uint32_t flags, bool on);
  std::int32_t (*NColumns)(QXTAB_TABLE* table);
  const QXTAB_COLUMN* (*Column)(QXTAB_TABLE* table, std::int32_t k);  // null when absent
  std::int64_t (*NRows)(QXTAB_TABLE* table);  // 0 without a file
  // Row `row` (0-based) in the row buffer, or null when it cannot be read.
  const void* (*ReadRow)(QXTAB_TABLE* table, std::int64_t row);
};

struct QXTAB_TABLE {
  QXGeneric gen;
  QXTAB_TABLE_OPS* ops;
};

struct QXTAB_INSTANCE;

struct QXTAB_FACTORY {
  QXTAB_TABLE* (*NewTable)(QXTAB_INSTANCE* inst, const QXTAB_TABLE_PARMS* parms, void* journal);
  // Deletes *table (not the attached file) and clears the handle; 0, or
  // nonzero when there is none.
  int (*DeleteTable)(QXTAB_INSTANCE* inst, void* journal, std::int32_t flags, QXTAB_TABLE** table);
};

// Destroying an instance deletes the tables it still holds.
struct QXTAB_INSTANCE {
  QXGeneric gen;
  QXTAB_FACTORY* FactoryPtr;
};

struct QXTAB_EXTENSION {
  QXGeneric gen;
  QXTAB_INSTANCE* (*create_instance)(QXTAB_EXTENSION* ext, void* journal, const QXTAB_PARMS* parms);
};
