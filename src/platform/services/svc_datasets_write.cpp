// Vector 212, writing output data sets, and xofprc of vector 48: the report
// of a failed read or write.
#include <cstring>
#include <string>

#include "platform/datasets/input_data_set.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/problem.h"
#include "platform/datasets/put_vector.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

using ds::DataSet;

// The catalogue text of a status, without its severity.
std::string status_text(int status) {
  const Message* m = Host::current().messages().find_status(static_cast<std::uint32_t>(status));
  return m ? m->text : format("status 0x%08X", static_cast<unsigned>(status));
}

}  // namespace

int xvputi(XO_FILE* file, int count, int /*flags*/, XV_VECTOR** vector) {
  if (!vector) return kXoBadArgument;
  *vector = nullptr;
  ds::OutputDataSet* out = DataSet::output(file);
  if (!out) return DataSet::from(file) ? kXoNotOutput : kXoBadHandle;
  ds::PutVector* v = out->open_vector(count);
  if (!v) return kXoBadState;
  *vector = v->handle();
  return 0;
}

void xvnamei(NAMESTR* record) {
  if (!record) return;
  std::memset(record, 0, sizeof *record);
  record->type = kNumeric;
  record->length = 8;
}

int xvputd(XV_VECTOR* vector, const NAMESTR* record, int /*flags*/, const void* address, int length,
           int /*reserved*/, XO_FILE* /*input*/) {
  ds::PutVector* v = ds::Vector::put(vector);
  if (!v) return kXoBadHandle;
  if (!record) return kXoBadArgument;
  return v->define(*record, address, length);
}

int xvputcv(XV_VECTOR* vector, XO_FILE* source, const void* names, int count, int /*flags*/) {
  ds::PutVector* v = ds::Vector::put(vector);
  if (!v) return kXoBadHandle;
  ds::InputDataSet* in = DataSet::input(source);
  if (!in) return DataSet::from(source) ? kXoNotInput : kXoBadHandle;
  return v->copy(in, names, count);
}

int xvpute(XV_VECTOR* vector) {
  ds::PutVector* v = ds::Vector::put(vector);
  return v ? v->end() : kXoBadHandle;
}

int xyvput(XV_VECTOR* vector, const void* record) {
  ds::PutVector* v = ds::Vector::put(vector);
  return v ? v->gather(record) : kXoBadHandle;
}

int xvputt(XV_VECTOR* vector) {
  ds::PutVector* v = ds::Vector::put(vector);
  return v ? v->terminate() : kXoBadHandle;
}

// `severity` is what the caller makes of the failure (1 a read that ends
// its pass, 4 a row lost while the step goes on); the message says which
// data set failed and why, and a data set's failed rows are reported once.
int xofprc(XO_PARMS* parms, int status, int /*severity*/) {
  std::string name = parms ? DataSets::name_of(parms->file) : std::string();
  if (name.empty()) name = "(not a data set)";
  if (status == 0) status = kXoBadState;  // reported for the error flag alone
  if (ds::OutputDataSet* out = parms ? DataSet::output(parms->file) : nullptr) {
    // A file that cannot take a row loses the whole data set, not the row
    // at which the file gave out: that is said once, now.
    if (!out->failure().empty())
      out->report_failure();
    else if (out->first_row_report())
      ds::log_problem({ds::msg::kWriteFailed, {std::to_string(out->rows() + 1), name, status_text(status)}});
    return status;
  }
  ds::log_problem({ds::msg::kReadFailed, {name, status_text(status)}});
  return status;
}

}  // namespace platform::svc
