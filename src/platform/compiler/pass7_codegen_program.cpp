// The program as a whole: segments, jump patching, the cells and slots the
// code uses, what each pass and each observation initialise, and the
// compiler block's own executor.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "host/missing.h"
#include "platform/compiler/block_runner.h"
#include "platform/compiler/pass7_codegen.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/pass7_first_assignments.h"
#include "platform/compiler/source_text.h"

namespace platform::compiler {

int CodeGen::emit(Op op, int a, int b, int c, int d, int site) {
  Instr in;
  in.op = op;
  in.site = site;
  in.a = a;
  in.b = b;
  in.c = c;
  in.d = d;
  p_.code.push_back(in);
  return here() - 1;
}

int CodeGen::jump(Op op, int l, int b, int c, int d, int site) {
  const int at = emit(op, 0, b, c, d, site);
  label_jumps_.emplace_back(at, l);
  return at;
}

int CodeGen::temp() {
  if (temps_used_ == c_.temp_cells.size()) {
    const int cell = c_.cells.add_cell(missing_value());
    if (cell < 0) {
      c_.error(11, "a temporary value");
      return 0;
    }
    c_.temp_cells.push_back(cell);
  }
  return c_.temp_cells[temps_used_++];
}

int CodeGen::temp_block(int n) {
  std::vector<int>& blocks = c_.temp_blocks[n];
  int& used = blocks_used_[n];
  if (static_cast<std::size_t>(used) == blocks.size()) {
    int first = -1;
    for (int i = 0; i < n; ++i) {
      const int cell = c_.cells.add_cell(missing_value());
      if (cell < 0) {
        c_.error(11, "a function argument");
        return 0;
      }
      if (i == 0) first = cell;
    }
    blocks.push_back(first);
  }
  return blocks[static_cast<std::size_t>(used++)];
}

int CodeGen::literal_cell(double value) {
  Symbol* s = c_.symbols.literal(value);
  if (!s) {
    c_.error(11, "a literal");
    return 0;
  }
  return s->cell;
}

int CodeGen::symbol_cell(Symbol& s) { return s.cell; }

int CodeGen::symbol_slot(Symbol& s) {
  auto it = slot_of_symbol_.find(s.pub.id);
  if (it != slot_of_symbol_.end()) return it->second;
  p_.slots.push_back({s.char_offset, s.pub.length, true});
  const int slot = static_cast<int>(p_.slots.size()) - 1;
  slot_of_symbol_.emplace(s.pub.id, slot);
  return slot;
}

int CodeGen::literal_slot(const std::string& text) {
  auto it = literal_slots_.find(text);
  if (it != literal_slots_.end()) return it->second;
  const int offset = c_.cells.add_chars(static_cast<int>(text.size()));
  if (offset < 0) {
    c_.error(24, "a literal");
    return 0;
  }
  std::copy(text.begin(), text.end(), c_.cells.chars() + offset);
  p_.slots.push_back({offset, static_cast<int>(text.size()), true});
  const int slot = static_cast<int>(p_.slots.size()) - 1;
  literal_slots_.emplace(text, slot);
  return slot;
}

int CodeGen::temp_slot(int capacity) {
  capacity = std::clamp(capacity, 1, kMaxCharLength);
  const int offset = c_.cells.add_chars(capacity);
  if (offset < 0) {
    c_.error(24, "a temporary value");
    return 0;
  }
  p_.slots.push_back({offset, capacity, false});
  return static_cast<int>(p_.slots.size()) - 1;
}

int CodeGen::site_at(language::SourcePos pos, SiteWhat what, std::string name) {
  p_.sites.push_back({pos.line, pos.column, what, std::move(name)});
  return static_cast<int>(p_.sites.size()) - 1;
}

int CodeGen::site(const language::Expr& e, SiteWhat what, std::string name) {
  return site_at(e.pos, what, std::move(name));
}

int CodeGen::array_id(const std::string& key) {
  auto it = array_ids_.find(key);
  if (it != array_ids_.end()) return it->second;
  const ArrayInfo& a = array(key);
  ArrayShape shape;
  shape.name = a.name;
  shape.character = a.character;
  shape.lower = a.lower;
  shape.extent = a.extent;
  const long n = a.count();
  for (long i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!a.temporary) {
      Symbol& e = *a.elements[k];
      shape.elements.push_back(a.character ? symbol_slot(e) : symbol_cell(e));
    } else if (a.character) {
      // Temporary elements keep their values: they start from their initial values each pass.
      const int offset = c_.cells.add_chars(a.length);
      if (offset < 0) {
        c_.error(24, a.name.c_str());
        return 0;
      }
      p_.slots.push_back({offset, a.length, true});
      shape.elements.push_back(static_cast<int>(p_.slots.size()) - 1);
      p_.pass_char_inits.push_back(
          {shape.elements.back(), k < a.char_initial.size() ? a.char_initial[k] : std::string()});
    } else {
      const int cell = c_.cells.add_cell(missing_value());
      if (cell < 0) {
        c_.error(11, a.name.c_str());
        return 0;
      }
      shape.elements.push_back(cell);
      p_.pass_inits.push_back({cell, k < a.initial.size() ? a.initial[k] : missing_value()});
    }
  }
  p_.arrays.push_back(std::move(shape));
  const int id = static_cast<int>(p_.arrays.size()) - 1;
  array_ids_.emplace(key, id);
  return id;
}

void CodeGen::segment(int seg) {
  p_.entry[seg] = here();
  if (seg == 2 && p_.where_result >= 0) emit(Op::Mov, p_.where_result, literal_cell(1));
  for (std::size_t i = 0; i < c_.statements.size(); ++i) {
    const CMPSTMT& cs = *c_.statements[i];
    if (cs.segment != seg) continue;
    p_.has_segment[seg] = true;
    const int begin = here();
    temps_used_ = 0;
    blocks_used_.clear();
    statement(*cs.ast);
    p_.statements.push_back({static_cast<int>(i), begin, here()});
  }
  emit(Op::Halt);
}

void CodeGen::finish() {
  for (auto [at, l] : label_jumps_) p_.code[static_cast<std::size_t>(at)].a = labels_[static_cast<std::size_t>(l)];
  for (auto& table : p_.jump_tables)
    for (int& target : table) target = labels_[static_cast<std::size_t>(target)];
  for (const auto& [at, name] : goto_jumps_) {
    Instr& in = p_.code[static_cast<std::size_t>(at)];
    auto it = statement_labels_.find(upper_key(name));
    if (it == statement_labels_.end()) {
      const Site& s = p_.sites[static_cast<std::size_t>(in.site)];
      c_.error(8, name.c_str(), s.name.c_str(), s.line, s.column);
      continue;
    }
    in.a = it->second;
  }
  // A jump backwards closes a loop: the interpreter counts those.
  for (std::size_t i = 0; i < p_.code.size(); ++i)
    if (p_.code[i].op == Op::Jmp && p_.code[i].a <= static_cast<int>(i)) p_.code[i].op = Op::Loop;
}

namespace {

// Consecutive cells as runs: first, count.
std::vector<std::pair<int, int>> runs_of(std::vector<int> cells) {
  std::sort(cells.begin(), cells.end());
  std::vector<std::pair<int, int>> runs;
  for (int cell : cells) {
    if (!runs.empty() && runs.back().first + runs.back().second == cell)
      ++runs.back().second;
    else
      runs.emplace_back(cell, 1);
  }
  return runs;
}

// What each pass and each observation set, and which cells may live outside.
void fill_run_lists(Compiler& c, Program& p, const std::set<int>& on_demand) {
  std::unordered_map<int, int> slot_of;  // character symbol -> slot
  const std::set<int> overwritten = first_assignments(c);
  std::vector<int> every_run_cells, on_demand_cells;
  for (std::size_t i = 0; i < c.symbols.size(); ++i) {
    Symbol& s = c.symbols.at(i);
    const CMPSYM& pub = s.pub;
    if (pub.kind == 'l') continue;
    const bool assigned = (pub.flags[0] & kCmpAssigned) != 0;
    if (pub.type == '$') {
      if (s.char_offset < 0) continue;
      p.slots.push_back({s.char_offset, pub.length, true});
      const int index = static_cast<int>(p.slots.size()) - 1;
      slot_of.emplace(pub.id, index);
      if (s.retained) p.pass_char_inits.push_back({index, s.has_char_init ? s.char_init : ""});
      else if (assigned && pub.dsvarno == 0) p.reset_slots.push_back(index);
      continue;
    }
    if (pub.flags[0] & (kCmpAssigned | kCmpReferenced) || s.retained)
      p.externals.push_back({pub.id, s.cell, assigned});
    if (pub.kindcode == kCmpKindParms) continue;  // the procedure owns the parameters' values
    const bool own = pub.data == c.cells.cells() + s.cell;
    if (s.retained) {
      p.pass_inits.push_back({s.cell, s.init_values.empty() ? missing_value() : s.init_values[0]});
    } else if (assigned && pub.dsvarno == 0 && own && !s.hidden && !overwritten.count(pub.id)) {
      p.reset_cells.push_back(s.cell);
      (on_demand.count(pub.id) ? on_demand_cells : every_run_cells).push_back(s.cell);
    }
  }
  std::sort(p.reset_cells.begin(), p.reset_cells.end());
  p.reset_runs = runs_of(every_run_cells);
  p.on_demand_reset_runs = runs_of(on_demand_cells);
  for (const Symbol* s : c.pdv) {
    if (s->hidden) continue;
    if (s->pub.type == '$') {
      auto it = slot_of.find(s->pub.id);
      if (it != slot_of.end()) p.variables.push_back({s->name, true, it->second});
    } else {
      p.variables.push_back({s->name, false, s->cell});
    }
  }
}

std::string places_text(const std::vector<std::pair<int, int>>& places) {
  std::vector<std::pair<int, int>> sorted = places;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::string out;
  for (auto [line, column] : sorted) {
    if (!out.empty()) out += " ";
    out += std::to_string(line) + ":" + std::to_string(column);
  }
  return out;
}

}  // namespace

bool Compiler::generate() {
  if (!analyse()) return false;
  auto prog = std::make_shared<Program>();
  bool where = false;
  for (const auto& cs : statements) where = where || cs->segment == 2;
  if (where) {
    if (where_cell_ < 0) where_cell_ = cells.add_cell(1);
    prog->where_result = where_cell_;
  }
  CodeGen gen(*this, *prog);
  for (int seg = 0; seg < kSegments; ++seg) gen.segment(seg);
  gen.finish();
  if (failed()) return false;
  fill_run_lists(*this, *prog, gen.on_demand_targets());
  prog->ncells = cells.cells_used();
  prog->nchars = cells.chars_used();
  if (!gen.char_to_num_places().empty())
    note(40, places_text(gen.char_to_num_places()).c_str());
  if (!gen.num_to_char_places().empty())
    note(41, places_text(gen.num_to_char_places()).c_str());
  program = prog;
  block_runner.reset();
  executor = std::make_unique<Executor>(program, cells, &symbols);
  return true;
}

}  // namespace platform::compiler
