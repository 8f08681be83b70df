#include "platform/stats/analysis_rows.h"

#include <cmath>
#include <cstring>

namespace platform::stats {

AnalysisRows::AnalysisRows(QXTAB_TABLE* table) : table_(table) {
  const std::int32_t n = table->ops->NColumns(table);
  for (std::int32_t k = 0; k < n; ++k) {
    const QXTAB_COLUMN* c = table->ops->Column(table, k);
    if (c && c->type == QXTAB_COL_DBL && !(c->user_flags & QXTAB_UFLAG_EXCLUDE)) offsets_.push_back(c->offset);
  }
  values_.resize(offsets_.size());
}

bool AnalysisRows::read(std::int64_t k) {
  const auto* row = static_cast<const unsigned char*>(table_->ops->ReadRow(table_, k));
  if (!row) return false;
  usable_ = true;
  for (std::size_t c = 0; c < offsets_.size(); ++c) {
    std::memcpy(&values_[c], row + offsets_[c], sizeof(double));
    usable_ = usable_ && std::isfinite(values_[c]);
  }
  return true;
}

}  // namespace platform::stats
