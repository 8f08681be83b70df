// The extension "qxtab": loaded by name through the kernel library, its
// instances make tables of double columns over a record file of "qxrec"
// (host/ext_tables_qxtab.h). A table holds no rows of its own: row k is record k of
// the attached file, loaded into the table's row buffer when asked for.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"
#include "host/ext_tables_qxtab.h"
#include "platform/kernel/kernel_library.h"

namespace platform {
namespace {

struct Instance;

struct Table {
  QXTAB_TABLE table;  // first, so that the table is its QXTAB_TABLE
  Instance* owner;
  std::u32string name;
  std::vector<std::unique_ptr<QXTAB_COLUMN>> columns;
  std::int32_t row_size = 0;
  QXREC_FILE* file = nullptr;
  std::vector<unsigned char> row;  // one record of the file
};

struct Instance {
  QXTAB_INSTANCE inst;  // first, so that the instance is its QXTAB_INSTANCE
  QXTAB_FACTORY factory;
  std::vector<std::unique_ptr<Table>> tables;
};

Table* table_of(QXTAB_TABLE* t) { return reinterpret_cast<Table*>(t); }

QXTAB_COLUMN* new_column(QXTAB_TABLE* t, const QXTAB_COL_PARMS* p, void*) {
  Table* s = table_of(t);
  if (!s || !p || s->file || p->type != QXTAB_COL_DBL || p->size != 8) return nullptr;
  auto c = std::make_unique<QXTAB_COLUMN>();
  c->gen = {s, "qxtab.column", nullptr};
  c->index = static_cast<std::int32_t>(s->columns.size());
  c->type = p->type;
  c->offset = s->row_size;
  s->row_size += p->size;
  s->columns.push_back(std::move(c));
  return s->columns.back().get();
}

std::int64_t file_value(QXREC_FILE* f, std::int32_t id) {
  std::int64_t v = -1;
  return f && f->FValueGet && f->FValueGet(f, id, &v, 0) == 0 ? v : -1;
}

int attach_file(QXTAB_TABLE* t, QXREC_FILE* f) {
  Table* s = table_of(t);
  if (!s || !f || !f->gen.oven) return 1;
  const std::int64_t length = file_value(f, QXREC_RECLEN);
  if (length < s->row_size || length <= 0) return 1;
  s->row.assign(static_cast<std::size_t>(length), 0);
  s->file = f;
  return 0;
}

int set_user_flags(QXTAB_TABLE* t, std::int32_t k, std::uint32_t flags, bool on) {
  Table* s = table_of(t);
  if (!s || k < 0 || k >= static_cast<std::int32_t>(s->columns.size())) return 1;
  std::uint32_t& f = s->columns[static_cast<std::size_t>(k)]->user_flags;
  f = on ? f | flags : f & ~flags;
  return 0;
}

std::int32_t n_columns(QXTAB_TABLE* t) { return t ? static_cast<std::int32_t>(table_of(t)->columns.size()) : 0; }

const QXTAB_COLUMN* column(QXTAB_TABLE* t, std::int32_t k) {
  if (k < 0 || k >= n_columns(t)) return nullptr;
  return table_of(t)->columns[static_cast<std::size_t>(k)].get();
}

std::int64_t n_rows(QXTAB_TABLE* t) {
  return t && table_of(t)->file ? std::max<std::int64_t>(file_value(table_of(t)->file, QXREC_NRECS), 0) : 0;
}

const void* read_row(QXTAB_TABLE* t, std::int64_t k) {
  Table* s = t ? table_of(t) : nullptr;
  if (!s || !s->file) return nullptr;
  auto* records = static_cast<QXREC_INSTANCE*>(s->file->gen.oven);
  if (!records->FactoryPtr || !records->FactoryPtr->LoadRecord) return nullptr;
  return records->FactoryPtr->LoadRecord(records, s->file, k, s->row.data()) == 0 ? s->row.data() : nullptr;
}

QXTAB_TABLE_OPS kTableOps{&new_column, &attach_file, &set_user_flags, &n_columns, &column, &n_rows, &read_row};

// Removes a table from its instance's list, which owns it.
void erase_table(Table* s) {
  auto& all = s->owner->tables;
  for (auto it = all.begin(); it != all.end(); ++it)
    if (it->get() == s) {
      all.erase(it);
      return;
    }
}

void destroy_table(void* self) { erase_table(static_cast<Table*>(self)); }

QXTAB_TABLE* new_table(QXTAB_INSTANCE* inst, const QXTAB_TABLE_PARMS* p, void*) {
  if (!inst || !p || p->row_style != QXTAB_ROW_BUF || p->name_len < 0 || (p->name_len > 0 && !p->name))
    return nullptr;
  auto* owner = reinterpret_cast<Instance*>(inst);
  auto s = std::make_unique<Table>();
  s->table = {{inst, "qxtab.table", &destroy_table}, &kTableOps};
  s->owner = owner;
  for (std::int32_t i = 0; i < p->name_len; ++i) s->name += static_cast<char32_t>(p->name[i]);
  owner->tables.push_back(std::move(s));
  return &owner->tables.back()->table;
}

int delete_table(QXTAB_INSTANCE* inst, void*, std::int32_t, QXTAB_TABLE** t) {
  if (!inst || !t || !*t || table_of(*t)->owner != reinterpret_cast<Instance*>(inst)) return 1;
  erase_table(table_of(*t));
  *t = nullptr;
  return 0;
}

void destroy_instance(void* self) { delete static_cast<Instance*>(self); }

QXTAB_INSTANCE* create_instance(QXTAB_EXTENSION* ext, void*, const QXTAB_PARMS*) {
  auto* s = new Instance{};
  s->inst = {{ext, "qxtab.instance", &destroy_instance}, &s->factory};
  s->factory = {&new_table, &delete_table};
  return &s->inst;
}

void destroy_extension(void* self) { delete static_cast<QXTAB_EXTENSION*>(self); }

void* make_extension() { return new QXTAB_EXTENSION{{nullptr, "qxtab", &destroy_extension}, &create_instance}; }

const ExtensionRegistration kQxtab{"qxtab", &make_extension};

}  // namespace
}  // namespace platform
