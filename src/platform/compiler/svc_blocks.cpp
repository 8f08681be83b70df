// Vector 148: running the model program over blocks of observations.
//
// cmpbpas(derivatives, changing, n, cmp), after cmpexi(1): returns the number
// of observations a block holds when the program's run for an observation
// depends on that observation's values alone, so that the pass may run it
// over blocks; 0 when each observation must be run with cmprun. `changing`
// names the n places of the caller's storage (bound to special variables)
// that the caller changes from one observation to the next: a program that
// reads one of them is run observation by observation.
// cmpbval(cell, &stride): where the value the cell would hold after each
// observation's run is found once the block ran: the observation's row of
// the returned column when *stride is 1, the returned place for every
// observation when it is 0. Valid until the next cmpbpas.
// cmpbfill(next, arg): fills a block: calls next(arg) until it returns 0 or
// the block is full; next makes an observation current and moves its values
// into the cells with the input vector (no cmpexi(0) is needed) and returns
// 1, and the block takes it. Returns the block's count.
// cmpbrecs(parms, vector): fills a block as cmpbfill does with a next that
// reads the group's next record with xybyget and moves it with the input
// vector, reading the records straight from the data set: the block and
// the data set's position end as they would (the data set variables' cells
// are not filled: the block holds their values, and cmpbget puts an
// observation's back); returns the block's count. -1, with nothing read,
// when the data set, the vector or the block do not allow it (a character
// value in the block, a vector of another data set, no group current):
// then cmpbfill is used.
// cmpbrun: runs the program over the block; returns one flag per
// observation: 0 when its values are those cmpbval finds, 1 when it must be
// run alone (a value of its run is not finite: its missing values and
// errors are the interpreter's to count and report).
// cmpbget(i), for the observations of the block in order: for one flagged
// 1, puts its input values back in the cells, as after cmpexi(0) and the
// input vector, for cmprun, and returns 1; for another, leaves in the cells
// what its run would have left there and returns 0 (needed only before the
// cells are read, by the last observation of a block at the latest).
#include <algorithm>
#include <atomic>

#include "platform/compiler/api.h"

#include "platform/compiler/block_runner.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"
#include "platform/datasets/get_vector.h"
#include "platform/datasets/input_data_set.h"
#include "platform/services/service_impls.h"

namespace platform::compiler {
namespace {
std::atomic<bool> g_block_runs{true};
}  // namespace

void allow_block_runs(bool allowed) { g_block_runs.store(allowed, std::memory_order_relaxed); }
bool block_runs_allowed() { return g_block_runs.load(std::memory_order_relaxed); }

std::vector<bool> temporary_cells(CMPGLOBAL* cmp) {
  const Compiler* c = compiler_of(cmp);
  if (!c || !c->program) return {};
  std::vector<bool> temporary(static_cast<std::size_t>(c->program->ncells), false);
  const auto mark = [&](int cell) {
    if (cell >= 0 && cell < c->program->ncells) temporary[static_cast<std::size_t>(cell)] = true;
  };
  for (int cell : c->temp_cells) mark(cell);
  for (const auto& [size, cells_of_size] : c->temp_blocks)
    for (int cell : cells_of_size) mark(cell);
  return temporary;
}

}  // namespace platform::compiler

namespace platform::svc {

using compiler::BlockFrame;
using compiler::BlockRunner;
using compiler::Compiler;
using compiler::compiler_of;

namespace {

// The runner of a pass that runs over blocks, or null.
BlockRunner* runner_of(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  BlockRunner* r = c ? c->block_runner.get() : nullptr;
  return r && r->started() ? r : nullptr;
}

// The cells the input vector fills, the external cells, the caller's
// changing places as cells, and the temporaries. False when a variable of
// the data set lives outside the frame.
bool describe_frame(Compiler& c, CMPGLOBAL* cmp, double* const* changing, int nchanging, BlockFrame* frame) {
  frame->clear();
  double* const cells = c.cells.cells();
  for (std::size_t i = 0; i < c.symbols.size(); ++i) {
    const compiler::Symbol& s = c.symbols.at(i);
    const CMPSYM& pub = s.pub;
    if (pub.dsvarno <= 0 || pub.kind == 'l' || !(pub.flags[0] & kCmpDatasetVar)) continue;
    if (pub.type == '$') {
      frame->texts.emplace_back(static_cast<char*>(pub.data), pub.length);
    } else {
      if (pub.data != cells + s.cell) return false;
      frame->observed.push_back(s.cell);
    }
  }
  for (const compiler::Executor::External& x : c.executor->externals()) {
    frame->externals.push_back(x.cell);
    frame->places.push_back(x.place);
    for (int k = 0; k < nchanging; ++k)
      if (changing[k] == x.place) frame->changing.push_back(x.cell);
  }
  if (frame->temporary.empty()) frame->temporary = compiler::temporary_cells(cmp);
  return true;
}

}  // namespace

int cmpbpas(int derivatives, double* const* changing, int nchanging, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !c->executor || !c->program || c->current_segment() != 0) return 0;
  if (!compiler::block_runs_allowed()) return 0;
  if (!c->block_runner) c->block_runner = std::make_unique<BlockRunner>(*c->executor);
  BlockRunner& r = *c->block_runner;
  if (!describe_frame(*c, cmp, changing, nchanging, &r.frame())) {
    r.stop();
    return 0;
  }
  return r.start(derivatives) ? BlockRunner::kCapacity : 0;
}

int cmpbfill(int (*next)(void* arg), void* arg, CMPGLOBAL* cmp) {
  BlockRunner* r = runner_of(cmp);
  return r ? r->fill(next, arg) : 0;
}

int cmpbrecs(XO_PARMS* parms, XV_VECTOR* vector, CMPGLOBAL* cmp) {
  BlockRunner* r = runner_of(cmp);
  ds::InputDataSet* in = parms ? ds::DataSet::input(parms->file) : nullptr;
  ds::GetVector* v = ds::Vector::get(vector);
  if (!r || !in || !v || v->source() != in || !r->takes_records()) return -1;
  static thread_local std::vector<BlockRunner::RecordCopy> copies;
  copies.clear();
  for (const ds::GetVector::NumberCopy& c : v->number_copies()) copies.push_back({c.offset, c.to});
  const unsigned char* records[BlockRunner::kCapacity];
  const int n = in->read_records_in_group(parms, records, BlockRunner::kCapacity);
  if (n > 0) r->fill_records(records, n, copies);
  return n;
}

const unsigned char* cmpbrun(CMPGLOBAL* cmp) {
  BlockRunner* r = runner_of(cmp);
  return r ? r->run() : nullptr;
}

const double* cmpbval(const double* cell, long* stride, CMPGLOBAL* cmp) {
  BlockRunner* r = runner_of(cmp);
  if (!r) {
    *stride = 0;
    return cell;
  }
  return r->value_place(cell, stride);
}

int cmpbget(int index, CMPGLOBAL* cmp) {
  BlockRunner* r = runner_of(cmp);
  if (r && !r->holds(index)) return 1;
  return r && r->take(index) ? 0 : 1;
}

}  // namespace platform::svc
