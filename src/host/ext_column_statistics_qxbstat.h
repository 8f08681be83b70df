// The kernel-library extension "qxbstat": descriptive statistics of the
// analysis columns of a table of "qxtab" (host/ext_tables_qxtab.h): the columns of
// type double not marked QXTAB_UFLAG_EXCLUDE, numbered 0, 1, ... in table
// order. A row with a missing value in any analysis column is left out of
// every statistic. Percentiles take the empirical distribution with
// averaging at ties of n*q (definition 5); they are exact however many rows
// there are, in memory that does not grow with the number of rows.
#pragma once

#include <cstdint>

#include "host/kernel_object_header.h"

struct QXTAB_TABLE;

inline constexpr std::int32_t QXBSTAT_TYPE_PERCPTR = 0;  // ValueGet: const double*, the levels
inline constexpr std::int32_t QXBSTAT_TYPE_NPERC = 1;    // ValueGet: int32, their number
inline constexpr std::int32_t QXBSTAT_PERC_DEF5 = 5;

// Interval flags.
inline constexpr std::uint32_t QXBSTAT_INT_PERC = 1;    // the percentiles of `levels`
inline constexpr std::uint32_t QXBSTAT_INT_EQTAIL = 2;  // equal-tailed normal limits at `alpha`

struct QXBSTAT_PARMS {
  std::int32_t flags;
  std::int32_t nThreads;
  QXTAB_TABLE* table;
  const void* locale;
};

struct QXBSTAT_INTERVAL_PARMS {
  std::uint32_t flags;
  std::int32_t perc_def;      // QXBSTAT_PERC_DEF5
  std::int32_t n_levels;      // with QXBSTAT_INT_PERC
  const double* levels;       // fractions in [0, 1]
  std::int32_t n_alpha;       // with QXBSTAT_INT_EQTAIL: 1
  const double* alpha;        // in (0, 1)
};

// A column's percentiles, in the order of the level list (ValueGet).
struct QXBSTAT_INTPERC {
  std::int32_t n;
  const double* percPtr;
};

// mean -/+ z(1 - alpha/2) std.
struct QXBSTAT_INTNORM {
  double alpha, lower, upper;
};

// One analysis column; a statistic that cannot be formed holds the special
// missing value.
struct QXBSTAT_DIAG {
  std::int64_t n;  // rows used
  double mean, std, min, max;
  QXBSTAT_INTPERC intperc;
  QXBSTAT_INTNORM intnorm;
};

struct QXBSTAT_INSTANCE;

struct QXBSTAT_FACTORY {
  // Counts, means, standard deviations, extremes and the covariance of the
  // analysis columns; 0, or nonzero when the table cannot be read.
  int (*Descriptive)(QXBSTAT_INSTANCE* inst);
  // After Descriptive: the intervals asked for. The level list keeps every
  // level given, sorted ascending. 0, or nonzero for bad parameters or an
  // unreadable table.
  int (*PercIntervals)(QXBSTAT_INSTANCE* inst, const QXBSTAT_INTERVAL_PARMS* parms);
  // 0, or nonzero for an unknown type; `size` (may be null) receives the
  // bytes written.
  int (*ValueGet)(QXBSTAT_INSTANCE* inst, std::int32_t type, void* value, std::int32_t* size);
  // Analysis column k's statistics, or null; valid until the next call that
  // computes.
  const QXBSTAT_DIAG* (*GetStatistics)(QXBSTAT_INSTANCE* inst, std::int32_t k);
  // release 0: the packed lower triangle of the covariance (element (r, c),
  // c <= r, at r(r+1)/2 + c), or null before Descriptive; release 1: frees
  // it and returns null.
  const double* (*GetTheCovariance)(QXBSTAT_INSTANCE* inst, std::int32_t release);
  // Destroys *inst and clears the handle.
  void (*DestroyInstance)(QXBSTAT_INSTANCE** inst);
};

struct QXBSTAT_INSTANCE {
  QXGeneric gen;
  QXBSTAT_FACTORY* FactoryPtr;
};

struct QXBSTAT_EXTENSION {
  QXGeneric gen;
  // Null without a table.
  QXBSTAT_INSTANCE* (*create_instance)(QXBSTAT_EXTENSION* ext, void* journal, const QXBSTAT_PARMS* parms);
};
