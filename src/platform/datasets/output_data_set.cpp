#include "platform/datasets/output_data_set.h"

#include "platform/datasets/problem.h"
#include "platform/datasets/put_vector.h"
#include "platform/datasets/registry.h"
#include "platform/datasets/sidecar.h"
#include "platform/host.h"

namespace platform::ds {
namespace {

int refuse_read(XO_PARMS* parms) {
  if (parms) parms->flags |= kXoFailed;
  return kXoNotInput;
}

// A data set that could not be written fails the step like one that could
// not be defined.
constexpr int kNotWrittenCode = 1016;
// Above this return code a step has failed, and writes no data set.
constexpr int kWarningCode = 4;

}  // namespace

OutputDataSet::OutputDataSet(std::string name, std::filesystem::path file)
    : DataSet(std::move(name), true), file_(std::move(file)) {
  handle_.read = &refuse_read;
  handle_.write = &OutputDataSet::write_operation;
}

// A data set whose rows were begun but never completed, or never
// published: the step ended first, and failed.
OutputDataSet::~OutputDataSet() {
  if ((writing_ || completed_) && Host::exists()) log_problem({msg::kStepFailedNotWritten, {name()}});
}

PutVector* OutputDataSet::open_vector(int expected_variables) {
  if (vector_) return nullptr;
  vector_ = std::make_unique<PutVector>(this, expected_variables);
  return vector_.get();
}

void OutputDataSet::fail(std::string why) {
  if (failure_.empty()) failure_ = std::move(why);
  writer_.abandon();
  writing_ = false;
}

int OutputDataSet::begin_rows() {
  std::string why;
  if (!writer_.open(file_, vector_->variables(), &why)) {
    fail(why);
    return report_failure();
  }
  writing_ = true;
  return 0;
}

int OutputDataSet::append() {
  if (!failure_.empty()) return kXoWriteFailed;
  if (!writing_) return kXoBadState;
  std::string why;
  if (!writer_.write_row(vector_->variables(), vector_->record(), &why)) {
    fail(why);
    return kXoWriteFailed;
  }
  ++rows_;
  return 0;
}

int OutputDataSet::finish() {
  if (Host::current().return_code_floor() > kWarningCode) {
    writer_.abandon();
    writing_ = false;
    // One whose own failure failed the step has said why already.
    if (!failure_logged_) log_problem({msg::kStepFailedNotWritten, {name()}});
    return kXoWriteFailed;
  }
  std::string why;
  if (failure_.empty() && !writer_.complete(sidecar_text(vector_->variables(), type_, label_), &why))
    fail(why);
  writing_ = false;
  if (!failure_.empty()) return report_failure();
  completed_ = true;
  Host::current().datasets().hold(this);
  return 0;
}

int OutputDataSet::publish() {
  if (!std::exchange(completed_, false)) return kXoBadState;
  std::string why;
  if (!writer_.publish(&why)) {
    fail(why);
    return report_failure();
  }
  log_problem({msg::kWritten,
               {name(), std::to_string(rows_), std::to_string(vector_->variables().size())}});
  if (writer_.in_place()) log_problem({msg::kNoDescription, {file_.string(), name()}});
  if (!replaced_input_.empty()) log_problem({msg::kInputReplaced, {replaced_input_}});
  return 0;
}

void OutputDataSet::discard() {
  if (!std::exchange(completed_, false)) return;
  writer_.abandon();
  log_problem({msg::kStepFailedNotWritten, {name()}});
}

int OutputDataSet::report_failure() {
  if (!failure_logged_) log_problem({msg::kNotWritten, {name(), failure_}});
  failure_logged_ = true;
  Host::current().raise_return_code(kNotWrittenCode);
  return kXoWriteFailed;
}

int OutputDataSet::write_operation(XO_PARMS* parms) {
  if (!parms) return kXoBadArgument;
  OutputDataSet* ds = DataSet::output(parms->file);
  int status;
  if (!ds)
    status = DataSet::from(parms->file) ? kXoNotOutput : kXoBadHandle;
  else if (!ds->vector_)
    status = kXoBadState;
  else
    status = ds->append();
  parms->count = status == 0 ? 1 : 0;
  if (status == 0) {
    parms->flags &= ~kXoFailed;
    parms->obs = ds->rows_;
    ds->handle_.flags &= ~kXoError;
    return 0;
  }
  parms->flags |= kXoFailed;
  if (ds) ds->handle_.flags |= kXoError;
  return status;
}

}  // namespace platform::ds
