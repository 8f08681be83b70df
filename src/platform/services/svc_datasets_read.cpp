// Vector 212, reading: BY groups, observations and data-set information.
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/missing.h"
#include "platform/datasets/input_data_set.h"
#include "platform/host.h"
#include "platform/listing/number_format.h"
#include "platform/listing/visible_text.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/problem.h"
#include "platform/datasets/put_vector.h"
#include "platform/output/output_render.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

using ds::DataSet;
using ds::InputDataSet;

// The status for a handle that is not an input data set.
int not_input(const XO_FILE* file) {
  return DataSet::from(file) ? kXoNotInput : kXoBadHandle;
}

int refuse_read(XO_PARMS* parms, int status) {
  if (parms) {
    parms->flags |= kXoFailed;
    parms->record = nullptr;
    parms->count = 0;
  }
  return status;
}

// A numeric BY value in the best rendering of 16 columns, or in its
// shortest exact form when that one reads back as another number: two
// groups must not look alike (0.3 and 0.30000000000000004).
std::string by_number_text(double x) {
  std::string text = render_number(x, 16, 99);
  if (std::strtod(text.c_str(), nullptr) == x) return text;
  char exact[32];
  return std::string(exact, std::to_chars(exact, exact + sizeof exact, x).ptr);
}

// The BY values of the current group, as the BY line shows them; none
// without BY variables or before the first group.
std::vector<ByValue> by_values(const InputDataSet& in) {
  const ds::Table& t = in.table();
  const unsigned char* record = in.group_record();
  std::vector<ByValue> values;
  if (!record) return values;
  for (const ds::ByKey& key : in.by().keys) {
    const ds::Variable& v = t.variables[static_cast<std::size_t>(key.variable)];
    if (v.type == ds::VarType::Numeric) {
      double x;
      std::memcpy(&x, record + v.offset, sizeof x);
      values.push_back({v.name, Cell::of_number(x), is_missing(x) ? missing_mark(x) : by_number_text(x)});
    } else {
      std::string text(reinterpret_cast<const char*>(record + v.offset),
                       static_cast<std::size_t>(v.length));
      text.erase(text.find_last_not_of(' ') + 1);
      values.push_back({v.name, Cell::of_text(text), text});
    }
  }
  return values;
}

// Items 18, 21, 22, 95 and 96 of an input data set.
int input_information(const InputDataSet& in, int item, void* value) {
  const ds::Table& t = in.table();
  switch (item) {
    case kXoByGroupText: {
      auto* group = static_cast<XO_BYGROUP*>(value);
      // Shown as the log shows it, so that a NUL byte in a value does not
      // end the text early; a text too long for the record keeps its start
      // and its end, whole characters, around " ... ".
      constexpr std::size_t kLongest = sizeof group->text - 1, kTail = 100;
      const std::string text =
          shortened_in_middle(visible_text(by_text(by_values(in))), kLongest, kLongest - kTail - 5, kTail);
      const std::size_t n = std::min(text.size(), kLongest);
      std::memcpy(group->text, text.data(), n);
      group->text[n] = '\0';
      return 0;
    }
    case kXoLastRecord:
      *static_cast<const void**>(value) = in.last_record();
      return 0;
    case kXoType:
      std::memcpy(value, t.type.data(), 8);
      return 0;
    case kXoLabel: {
      auto* label = static_cast<XO_LABEL*>(value);
      std::memset(label->text, ' ', sizeof label->text);
      std::memcpy(label->text, t.label.data(), std::min(t.label.size(), sizeof label->text));
      label->length = static_cast<std::int16_t>(sizeof label->text);
      return 0;
    }
    case kXoVariables:
      *static_cast<int*>(value) = static_cast<int>(t.variables.size());
      return 0;
  }
  return kXoBadRequest;
}

// Items 21 and 22 set an output data set's type and label; 95 counts its
// variables so far.
int set_output_information(ds::OutputDataSet& out, int item, void* value) {
  switch (item) {
    case kXoType:
      out.type().assign(static_cast<const char*>(value), 8);
      return 0;
    case kXoLabel: {
      const auto* label = static_cast<const XO_LABEL*>(value);
      std::size_t n = std::min<std::size_t>(std::max<int>(label->length, 0), sizeof label->text);
      std::string text(label->text, n);
      text.erase(text.find_last_not_of(' ') + 1);
      out.label() = text;
      return 0;
    }
    case kXoVariables:
      *static_cast<int*>(value) =
          out.vector() ? static_cast<int>(out.vector()->variables().size()) : 0;
      return 0;
  }
  return kXoBadRequest;
}

}  // namespace

namespace {
// Tells the output service the BY values of the group just entered, for the
// BY line of the listing and the "by" member of the JSON stream.
void announce_by_group(const InputDataSet& in) {
  std::vector<ByValue> values = by_values(in);
  if (!values.empty()) Host::current().output().set_by_group(std::move(values));
}
}  // namespace

int xbynext(XO_FILE* file) {
  InputDataSet* in = DataSet::input(file);
  if (!in) return -1;
  int rc = in->next_group();
  if (rc == 1) announce_by_group(*in);
  else Host::current().output().clear_by_group();
  return rc;
}

int xbyrwnd(XO_FILE* file, int where) {
  InputDataSet* in = DataSet::input(file);
  if (!in) return not_input(file);
  if (where != kXoGroupStart) return kXoBadRequest;
  return in->rewind_group();
}

int xbysync(XO_FILE* file, XO_FILE* leader) {
  InputDataSet* in = DataSet::input(file);
  InputDataSet* lead = DataSet::input(leader);
  return in && lead && in->sync_to(*lead) ? 0 : 1;
}

int xbylist(XO_FILE* file, XO_FILE* other) {
  InputDataSet* in = DataSet::input(file);
  InputDataSet* follower = DataSet::input(other);
  if (!in || !follower) return 1;
  ds::ByPlan plan;
  plan.notsorted = in->by().notsorted;
  for (const ds::ByKey& key : in->by().keys) {
    const ds::Variable& v = in->table().variables[static_cast<std::size_t>(key.variable)];
    int i = follower->table().find(v.name);
    if (i < 0) return 2;
    const ds::Variable& w = follower->table().variables[static_cast<std::size_t>(i)];
    if (w.type != v.type) {
      auto kind = [](const ds::Variable& x) {
        return x.type == ds::VarType::Numeric ? "numeric" : "character";
      };
      ds::log_problem(
          {ds::msg::kByVariableType, {v.name, kind(v), in->name(), kind(w), follower->name()}});
      return 1;
    }
    plan.keys.push_back({i, key.descending});
  }
  follower->set_by(std::move(plan));
  return 0;
}

int xybyget(XO_PARMS* parms) {
  if (!parms) return kXoBadArgument;
  InputDataSet* in = DataSet::input(parms->file);
  return in ? in->read_in_group(parms) : refuse_read(parms, not_input(parms->file));
}

int xopnt(XO_PARMS* parms) {
  if (!parms) return kXoBadArgument;
  InputDataSet* in = DataSet::input(parms->file);
  return in ? in->open_sequential(parms) : refuse_read(parms, not_input(parms->file));
}

int xoget(XO_PARMS* parms) {
  if (!parms) return kXoBadArgument;
  InputDataSet* in = DataSet::input(parms->file);
  parms->opcode = kXoNext;
  return in ? in->read_sequential(parms) : refuse_read(parms, not_input(parms->file));
}

int xoinfo(XO_FILE* file, int item, void* value) {
  if (!value) return kXoBadArgument;
  if (InputDataSet* in = DataSet::input(file)) return input_information(*in, item, value);
  if (ds::OutputDataSet* out = DataSet::output(file))
    return set_output_information(*out, item, value);
  return kXoBadHandle;
}

}  // namespace platform::svc
