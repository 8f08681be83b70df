#include "platform/statement_record_builder.h"

#include <algorithm>
#include <cstring>

#include "platform/datasets/registry.h"

namespace platform {
namespace {

// Every record has at least this many fields, so that the readers of the
// procedure statement's fields 0 to 27 find an empty field, not the end.
constexpr int kMinFields = 32;

struct NoRoom {};
struct DataSetFailed {};

template <class T>
T* allocate(Pool& pool, std::size_t count = 1) {
  void* p = pool.allocate(static_cast<long>(sizeof(T) * std::max<std::size_t>(count, 1)));
  if (!p) throw NoRoom{};
  return static_cast<T*>(p);
}

void copy_blank_padded(char* out, std::size_t width, const std::string& text) {
  std::memset(out, ' ', width);
  std::memcpy(out, text.data(), std::min(width, text.size()));
}

// The refits of every PROFILE statement go to one PROFDATA= data set, so
// the statements that name the same one share it.
XO_FILE* open_dataset(const language::FieldValue& f, bool shared, DataSets& data_sets) {
  XO_FILE* file = f.mode == 2 ? data_sets.open_output(f.text, shared) : data_sets.open_input(f.text);
  if (!file) throw DataSetFailed{};
  return file;
}

// The DATA= data set is read by the BY statement's variables.
void apply_by(const std::vector<language::ProcStatement>& statements, const STMT* proc, DataSets& data_sets) {
  const STLIST* data = proc ? stmt_field(proc, 9) : nullptr;
  if (!data) return;
  for (const language::ProcStatement& st : statements) {
    if (st.keyword != "BY") continue;
    BySpec by;
    by.notsorted = st.bits.test(1);
    const auto& names = st.fields.at(1).names;
    const auto& descending = st.fields.at(2).integers;
    for (std::size_t i = 0; i < names.size(); ++i) by.variables.push_back({names[i], descending[i] != 0});
    if (!data_sets.set_by(data->v.fid, by)) throw DataSetFailed{};
  }
}

void fill_field(STLIST& out, const language::FieldValue& f, bool shared, Pool& pool, DataSets& data_sets) {
  out.type = f.type;
  out.mode = f.mode;
  switch (f.type) {
    case stfield::kNumber: out.v.fval = f.number; break;
    case stfield::kKeyword: copy_blank_padded(out.v.nval, sizeof out.v.nval, f.keyword); break;
    case stfield::kDataset: out.v.fid = open_dataset(f, shared, data_sets); break;
    case stfield::kNames:
      out.v.f.n = static_cast<std::int32_t>(f.names.size());
      out.v.f.u.nlistx = build_name_list(f.names, pool);
      if (!out.v.f.u.nlistx) throw NoRoom{};
      break;
    case stfield::kText:
      out.v.f.n = static_cast<std::int32_t>(f.text.size());
      out.v.f.u.cval = allocate<char>(pool, f.text.size() + 1);
      std::memcpy(out.v.f.u.cval, f.text.data(), f.text.size());
      break;
    case stfield::kIntegers:
      out.v.f.n = static_cast<std::int32_t>(f.integers.size());
      out.v.f.u.ilist = allocate<std::int32_t>(pool, f.integers.size());
      std::copy(f.integers.begin(), f.integers.end(), out.v.f.u.ilist);
      break;
    case stfield::kNumbers:
      out.v.f.n = static_cast<std::int32_t>(f.numbers.size());
      out.v.f.u.flist = allocate<double>(pool, f.numbers.size());
      std::copy(f.numbers.begin(), f.numbers.end(), out.v.f.u.flist);
      break;
    case stfield::kExprs:
      out.v.f.n = f.count;
      out.v.f.u.efptr = const_cast<language::Stmt*>(f.exprs);
      break;
    default: out.type = 0; break;
  }
}

STMT* build_one(const language::ProcStatement& st, Pool& pool, DataSets& data_sets) {
  auto* s = allocate<STMT>(pool);
  copy_blank_padded(s->name, sizeof s->name, st.keyword);
  for (int k = 0; k < 256; ++k)
    if (st.bits.test(static_cast<std::size_t>(k))) stmt_set_bit(s, k);
  int nfld = kMinFields;
  if (!st.fields.empty()) nfld = std::max(nfld, st.fields.rbegin()->first + 1);
  s->nfld = nfld;
  s->fld = allocate<STLIST>(pool, static_cast<std::size_t>(nfld));
  const bool shared = st.keyword == "PROFILE";
  for (const auto& [k, f] : st.fields) fill_field(s->fld[k], f, shared, pool, data_sets);
  return s;
}

}  // namespace

void* build_name_list(const std::vector<std::string>& names, Pool& pool) {
  std::size_t bytes = 32;
  for (const std::string& n : names) bytes += 1 + std::min<std::size_t>(n.size(), 255);
  auto* block = static_cast<unsigned char*>(pool.allocate(static_cast<long>(bytes)));
  if (!block) return nullptr;
  auto* words = reinterpret_cast<std::int64_t*>(block);
  words[1] = 0;                                          // no next block
  words[3] = static_cast<std::int64_t>(names.size()) - 1;  // number of the last name
  unsigned char* p = block + 32;
  for (const std::string& n : names) {
    const std::size_t len = std::min<std::size_t>(n.size(), 255);
    *p++ = static_cast<unsigned char>(len);
    std::memcpy(p, n.data(), len);
    p += len;
  }
  return block;
}

RecordsResult build_stmt_records(const std::vector<language::ProcStatement>& statements, Pool& pool,
                                 DataSets& data_sets, STMT** head) {
  *head = nullptr;
  STMT* last = nullptr;
  try {
    for (const language::ProcStatement& st : statements) {
      STMT* s = build_one(st, pool, data_sets);
      (last ? last->next : *head) = s;
      last = s;
    }
    if (*head && !statements.empty() && statements[0].keyword == "RUVA") apply_by(statements, *head, data_sets);
  } catch (const NoRoom&) {
    return RecordsResult::NoRoom;
  } catch (const DataSetFailed&) {
    return RecordsResult::DataSetFailed;
  }
  return RecordsResult::Ok;
}

}  // namespace platform
