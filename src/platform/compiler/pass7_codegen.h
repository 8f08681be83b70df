// Code generation: the syntax trees of the compiled statements into the
// program's bytecode. Operands are cells of the compiler block's cell store,
// so that the block's own executor runs on the cells whose addresses the
// procedure holds; constants are the cells of literal symbols; temporaries
// are cells kept by the compiler and reused from one statement to the next.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/compiler/bytecode.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/pass3_types.h"

namespace platform::compiler {

class CodeGen {
 public:
  CodeGen(Compiler& c, Program& p) : c_(c), p_(p) {}

  // Generates every statement of a segment, ending with Halt.
  void segment(int seg);
  // Patches jumps to labels, turns backward jumps into counted loop jumps.
  void finish();

  const std::vector<std::pair<int, int>>& char_to_num_places() const { return c2n_places_; }
  const std::vector<std::pair<int, int>>& num_to_char_places() const { return n2c_places_; }
  // The variables (symbol ids) that statements asked for on demand assign.
  const std::set<int>& on_demand_targets() const { return on_demand_targets_; }

 private:
  struct Loop {
    int exit_label;
    int continue_label;
  };

  // pass7_codegen_stmt.cpp
  void statement(const language::Stmt& s);
  void assign(const language::Expr& target, const language::Expr& value);
  void assign_to_symbol(Symbol& s, const language::Expr& value);
  void derivative_block(const language::StmtList& list);
  void on_demand_block(const language::StmtList& list);
  void if_statement(const language::Stmt& s);
  void do_iterative(const language::Stmt& s);
  int do_clause(const language::Stmt& s, const language::DoClause& clause, int body, int next,
              int select_cell, int index);
  void select(const language::Stmt& s);
  void put(const language::Stmt& s);
  void where(const language::Stmt& s);
  void body(const language::StmtList& list) {
    for (const auto& child : list) statement(*child);
  }

  // pass7_codegen_expr.cpp: numeric values, character values, conditions.
  int num(const language::Expr& e, int dst = -1);
  int num_binary(const language::Expr& e, int dst);
  int num_call(const language::Expr& e, int dst);
  int language_call(const language::Expr& e, int dst);
  int chr(const language::Expr& e);
  int chr_call(const language::Expr& e);
  // Jumps to label `target` when the condition's truth equals `when`.
  void branch(const language::Expr& e, int target, bool when);
  int condition_value(const language::Expr& e, int dst);
  int element_index(const language::Expr& ref, const ArrayInfo& a);
  // Whether the expression folds to a constant, and its value; each inner
  // node is folded once (see constants_).
  bool constant(const language::Expr& e, double* value);
  bool fold(const language::Expr& e, double* value);
  int to_num(int slot, const language::Expr& where);
  int to_chr(int cell, const language::Expr& where);
  ExprType type(const language::Expr& e) { return expression_type(c_, e, &types_); }

  // Cells, slots, sites and code.
  int temp();
  int temp_block(int n);
  int literal_cell(double value);
  int symbol_cell(Symbol& s);
  int symbol_slot(Symbol& s);
  int literal_slot(const std::string& text);
  int temp_slot(int capacity);
  int site(const language::Expr& e, SiteWhat what, std::string name);
  int site_at(language::SourcePos pos, SiteWhat what, std::string name);
  int emit(Op op, int a = 0, int b = 0, int c = 0, int d = 0, int site = -1);
  int label() { labels_.push_back(-1); return static_cast<int>(labels_.size()) - 1; }
  void place(int l) { labels_[static_cast<std::size_t>(l)] = here(); }
  // An instruction whose operand `a` is the position of label `l`.
  int jump(Op op, int l, int b = 0, int c = 0, int d = 0, int site = -1);
  int here() const { return static_cast<int>(p_.code.size()); }
  ArrayInfo& array(const std::string& key) {
    return c_.arrays[static_cast<std::size_t>(c_.array_index.at(key))];
  }
  int array_id(const std::string& key);

  Compiler& c_;
  Program& p_;
  std::size_t temps_used_ = 0;
  std::vector<int> labels_;                         // label -> position
  std::vector<std::pair<int, int>> label_jumps_;    // instruction -> label
  std::vector<std::pair<int, std::string>> goto_jumps_;  // instruction -> statement label
  std::map<int, int> blocks_used_;                  // consecutive temporaries in use, by size
  std::unordered_map<std::string, int> statement_labels_;  // label key -> position
  std::vector<Loop> loops_;
  std::unordered_map<int, int> slot_of_symbol_;
  std::map<std::string, int> literal_slots_;
  std::unordered_map<std::string, int> array_ids_;
  std::vector<std::pair<int, int>> c2n_places_, n2c_places_;
  std::set<int> on_demand_targets_;
  // What type() and constant() found for inner nodes: code generation asks
  // about every node of a tree, which must not walk a chain a+b+c+... again
  // from each operator.
  TypeMemo types_;
  std::unordered_map<const language::Expr*, std::optional<double>> constants_;
};

}  // namespace platform::compiler
