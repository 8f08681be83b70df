// Resolution against the input data set: every symbol named like a variable
// of the data set takes the data set's variable number, type and length.
#include <algorithm>

#include "platform/compiler/compiler.h"
#include "platform/host.h"

namespace platform::compiler {

void Compiler::resolve(const std::vector<DatasetVariable>& variables) {
  dataset = variables;
  for (const DatasetVariable& v : dataset) bind_to_dataset(symbols.find(v.name));
  // The program's variables list the data set's first, in data-set order.
  std::stable_sort(pdv.begin(), pdv.end(), [](const Symbol* a, const Symbol* b) {
    const int da = a->pub.dsvarno > 0 ? a->pub.dsvarno : 1 << 30;
    const int db = b->pub.dsvarno > 0 ? b->pub.dsvarno : 1 << 30;
    return da < db;
  });
  changed();
}

void Compiler::bind_to_dataset(Symbol* s) {
  if (!s || s->pub.kind == 'l' || s->hidden) return;
  const std::string& key = s->key;
  auto it = std::find_if(dataset.begin(), dataset.end(),
                         [&](const DatasetVariable& v) { return upper_key(v.name) == key; });
  if (it == dataset.end()) return;
  s->pub.dsvarno = it->number;
  s->pub.flags[0] |= kCmpDatasetVar;
  if (!s->in_pdv) {
    s->in_pdv = true;
    pdv.push_back(s);
  }
  const char type = it->numeric ? 'n' : '$';
  if (s->declared_type != ' ' && s->declared_type != type)
    note(47, s->name.c_str(), s->declared_type == '$' ? "character" : "numeric",
         it->numeric ? "numeric" : "character");
  s->declared_type = type;
  if (it->numeric) {
    symbols.make_numeric(*s);
  } else {
    s->declared_length = it->length;
    if (!symbols.make_character(*s, it->length)) error(24, s->name.c_str());
  }
}

}  // namespace platform::compiler

namespace platform::compiler {

void Compiler::refuse_character(Symbol& s) {
  if (!refused_.insert(&s.pub).second) return;
  std::vector<const CMPSYM*> sources;  // the data set's character variables it comes from
  if (s.pub.dsvarno > 0)
    sources.push_back(&s.pub);
  else if (dataflow(false))
    for (const CMPSYM* d : deps(s))
      if (d->dsvarno > 0 && d->type == '$' && refused_.insert(d).second) sources.push_back(d);
  failed_ = true;
  if (errflag_) *errflag_ = 1;
  if (s.pub.dsvarno <= 0 && Host::exists()) Host::current().log_message(1, 32, s.name.c_str());
  const DatasetAccess& access = dataset_access();
  if (access.not_a_number && dataset_file)
    for (const CMPSYM* v : sources) access.not_a_number(dataset_file, v->dsvarno);
}

}  // namespace platform::compiler
