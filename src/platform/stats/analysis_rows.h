// The analysis columns of a table of "qxtab" (the double columns not marked
// QXTAB_UFLAG_EXCLUDE), read row by row. A row counts only when every one of
// its analysis values is finite: missing values are NaN patterns.
#pragma once

#include <cstdint>
#include <vector>

#include "host/ext_tables_qxtab.h"

namespace platform::stats {

class AnalysisRows {
 public:
  explicit AnalysisRows(QXTAB_TABLE* table);

  std::size_t width() const { return offsets_.size(); }

  // Calls `each(values)` with the analysis values of every usable row in
  // table order; false when a row cannot be read.
  template <class Each>
  bool for_each(Each each) {
    const std::int64_t n = table_->ops->NRows(table_);
    for (std::int64_t k = 0; k < n; ++k) {
      if (!read(k)) return false;
      if (usable_) each(static_cast<const double*>(values_.data()));
    }
    return true;
  }

 private:
  bool read(std::int64_t k);

  QXTAB_TABLE* table_;
  std::vector<std::int32_t> offsets_;  // byte offsets of the analysis columns
  std::vector<double> values_;
  bool usable_ = false;
};

}  // namespace platform::stats
