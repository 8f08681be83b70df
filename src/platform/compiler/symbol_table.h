// The symbols of a compiler block: the public CMPSYM record the module sees,
// and what the compiler keeps beside it (cell, storage, occurrences,
// declarations, dependencies). Symbols never move once made, so CMPSYM
// pointers stay valid until the block is purged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/compiler_types.h"
#include "platform/compiler/cell_store.h"
#include "platform/datasets/value_text.h"

namespace platform::compiler {

struct Occurrence {
  int line = 0;
  int column = 0;
  bool assigned = false;  // a store, else a read
  int segment = 0;
};

struct Symbol {
  CMPSYM pub{};
  std::string name;            // as first written
  std::string key;             // upper case
  int cell = -1;               // numeric cell in the frame
  int char_offset = -1;        // character storage, once the symbol is character
  int char_capacity = 0;       // bytes reserved there
  bool retained = false;       // keeps its value from one observation to the next
  char declared_type = ' ';    // 'n' or '$' when LENGTH, ARRAY, ATTRIB or RETAIN fixed it
  int declared_length = 0;     // bytes declared for a character variable, 0 none
  bool hidden = false;         // an expression symbol, not a variable of the program
  bool in_pdv = false;         // a variable of the program or the data set (listings, _ALL_)
  int segment = 0;             // segment that assigns it (expression symbols)
  std::vector<double> init_values;
  std::string char_init;       // initial value of a character variable
  bool has_char_init = false;
  std::vector<Occurrence> occurrences;
  std::vector<CMPSYM*> deps;   // inputs it depends on: Compiler::deps fills it when asked
  bool deps_known = false;     // deps is up to date with the data-flow analysis
  CMPSYMINFO info{};
  std::string label;
  std::string format;
};

class SymbolTable {
 public:
  explicit SymbolTable(CellStore& store) : store_(store) {}

  // The symbol of that name (any case), or null.
  Symbol* find(std::string_view name);
  // The symbol of that name, made as a variable of unknown type when new;
  // null when no cell is left.
  Symbol* define(std::string_view name);
  // The literal symbol of a value (one per distinct value); null when full.
  Symbol* literal(double value);
  // The literal symbol of a value if there is one.
  Symbol* find_literal(double value);
  // The literal symbol of a number's text; null when the text is no number.
  Symbol* literal(std::string_view text);

  Symbol& of(const CMPSYM* s) { return *symbols_.at(static_cast<std::size_t>(s->id)); }
  Symbol& at(std::size_t id) { return *symbols_[id]; }
  std::size_t size() const { return symbols_.size(); }
  CMPSYM* first() { return symbols_.empty() ? nullptr : &symbols_.front()->pub; }

  // Gives the symbol character storage of `length` bytes (once). False when
  // the store is full.
  bool make_character(Symbol& s, int length);
  // Points the symbol back at its own numeric cell.
  void make_numeric(Symbol& s);

  CellStore& store() { return store_; }

 private:
  Symbol* add(std::string_view name, std::string key, double value);

  CellStore& store_;
  std::vector<std::unique_ptr<Symbol>> symbols_;
  std::unordered_map<std::string, std::size_t> by_key_;
  std::unordered_map<std::uint64_t, std::size_t> literals_;
};

// Upper case of a name (ASCII letters only).
std::string upper_key(std::string_view name);
// Constants are named by the shortest text that reads back as the same double.
using ds::number_text;

}  // namespace platform::compiler
