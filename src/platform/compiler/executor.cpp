#include "platform/compiler/executor.h"

#include <algorithm>
#include <cstring>

#include "host/missing.h"

namespace platform::compiler {

Executor::Executor(std::shared_ptr<const Program> program, CellStore& cells, SymbolTable* symbols)
    : program_(std::move(program)), symbols_(symbols), c_(cells.cells()), chars_(cells.chars()) {
  slot_len_.resize(program_->slots.size());
  for (std::size_t i = 0; i < slot_len_.size(); ++i) slot_len_[i] = program_->slots[i].capacity;
  missing_by_site_.assign(program_->sites.size(), 0);
  errors_by_site_.assign(program_->sites.size(), 0);
  bind_externals();
}

Executor::Executor(const Executor& model)
    : program_(model.program_),
      own_cells_(model.c_, model.c_ + model.program_->ncells),
      own_chars_(model.chars_, model.chars_ + model.program_->nchars),
      slot_len_(model.slot_len_),
      missing_by_site_(model.missing_by_site_.size(), 0),
      errors_by_site_(model.errors_by_site_.size(), 0) {
  c_ = own_cells_.data();
  chars_ = own_chars_.data();
  // The model's external values become this frame's own.
  for (const External& e : model.externals_) c_[e.cell] = *e.place;
}

// Cells the procedure gave storage of its own are run through copies; the
// binding is looked at again at the start of every pass, so that storage
// given after generation is honoured too.
void Executor::bind_externals() {
  externals_.clear();
  stored_externals_.clear();
  if (!symbols_) return;
  for (const ExternalCell& x : program_->externals) {
    const CMPSYM& s = symbols_->at(static_cast<std::size_t>(x.symbol)).pub;
    auto* place = static_cast<double*>(s.data);
    if (s.type == '$' || !place || place == c_ + x.cell) continue;
    externals_.push_back({x.cell, place});
    if (x.stored) stored_externals_.push_back({x.cell, place});
  }
}

void Executor::start_pass() {
  bind_externals();
  std::fill(missing_by_site_.begin(), missing_by_site_.end(), 0);
  std::fill(errors_by_site_.begin(), errors_by_site_.end(), 0);
  errors_.clear();
  for (int cell : program_->reset_cells) c_[cell] = missing_value();
  ran_on_demand_ = false;
  for (int s : program_->reset_slots) std::memset(slot(s), ' ', static_cast<std::size_t>(slot_len_[static_cast<std::size_t>(s)]));
  for (const CellInit& init : program_->pass_inits) c_[init.cell] = init.value;
  for (const CharInit& init : program_->pass_char_inits)
    store_chars(init.slot, init.value.data(), static_cast<int>(init.value.size()));
  // Retained cells that live outside take their initial values there.
  for (const External& e : externals_)
    for (const CellInit& init : program_->pass_inits)
      if (init.cell == e.cell) *e.place = init.value;
}

void Executor::prepare_observation() {
  const double missing = missing_value();
  for (const auto& [first, count] : program_->reset_runs) std::fill_n(c_ + first, count, missing);
  if (ran_on_demand_)
    for (const auto& [first, count] : program_->on_demand_reset_runs) std::fill_n(c_ + first, count, missing);
  for (int s : program_->reset_slots)
    std::memset(slot(s), ' ', static_cast<std::size_t>(slot_len_[static_cast<std::size_t>(s)]));
}

std::string Executor::slot_text(int s) const {
  const char* p = chars_ + program_->slots[static_cast<std::size_t>(s)].offset;
  return std::string(p, static_cast<std::size_t>(slot_len_[static_cast<std::size_t>(s)]));
}

void Executor::fail(int site, RunError kind, std::string detail) {
  ++run_errors_;
  if (site >= 0) ++errors_by_site_[static_cast<std::size_t>(site)];
  last_error_ = {site, kind, std::move(detail)};
  if (record_ && errors_.size() < 20) errors_.push_back(last_error_);
}

void Executor::count_missing(int site) {
  ++run_missing_;
  if (site >= 0) ++missing_by_site_[static_cast<std::size_t>(site)];
}

}  // namespace platform::compiler
