// The compiler behind a compiler block: the statements handed over by the
// parser, the symbols they use, the arrays and labels they declare, the
// input data set's variables, and, once generated, the program and the
// block's own executor.
//
// The statements stay syntax trees until `generate`, so that later phases
// (derivatives) can add statements to them; the passes are separate files,
// numbered in the order they run: pass1_declare.cpp (statements in),
// pass2_resolve.cpp, pass3_types.cpp, pass4_dataflow.cpp, pass5_checks.cpp,
// pass6_derivative*.cpp (analytic derivatives), pass7_codegen*.cpp.
#pragma once

#include <cstdarg>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/compiler_types.h"
#include "platform/compiler/bytecode.h"
#include "platform/compiler/cell_store.h"
#include "platform/compiler/pass4_dataflow.h"
#include "platform/compiler/dataset_view.h"
#include "platform/compiler/symbol_table.h"
#include "platform/language/ast.h"

// A compiled statement: one statement of the program as the parser handed it
// over (segment 0), or one ESTIMATE or CONTRAST expression as an assignment
// to its expression symbol (segment 1), or a WHERE condition (segment 2).
struct CMPSTMT {
  int segment = 0;
  int number = 0;  // 1-based among all compiled statements
  platform::language::StmtPtr ast;
  // A source statement (see Compiler::sources) names its syntax-tree node
  // here instead; the node is owned by a compiled statement.
  const platform::language::Stmt* node = nullptr;
  std::string source;   // as written; the canonical text when the parser kept none
  std::string keyword;  // "ASSIGN", "MODEL", "IF", ...
};

namespace platform::compiler {

class Executor;
class BlockRunner;
class Derivatives;

struct ArrayInfo {
  std::string name;
  std::string key;
  bool character = false;
  int length = 8;                  // bytes of a character element
  bool temporary = false;          // _TEMPORARY_: cells without variables
  std::vector<long> lower;         // per dimension
  std::vector<long> extent;        // per dimension
  std::vector<Symbol*> elements;   // row-major; empty for _TEMPORARY_
  std::vector<double> initial;     // numeric initial values, element order
  std::vector<std::string> char_initial;
  long count() const;
};

class Compiler {
 public:
  explicit Compiler(const CMPINIT& init);
  ~Compiler();
  Compiler(const Compiler&) = delete;
  Compiler& operator=(const Compiler&) = delete;

  // Statements in (pass1_declare.cpp). Returns the expression symbols of an
  // ESTIMATE or CONTRAST statement, the parameters of a PARMS statement,
  // the variables of a CONTROL statement; nothing for other statements.
  std::vector<CMPSYM*> add_statement(language::StmtPtr stmt);

  // Phases. Each returns false after reporting a compile error.
  void resolve(const std::vector<DatasetVariable>& variables);  // pass2_resolve.cpp
  // Binds one symbol to the data set's variable of its name, if there is one.
  void bind_to_dataset(Symbol* s);
  // A compile error for a character symbol where a number is needed, once
  // per symbol: for a data-set variable, or one computed from data-set
  // variables, the data set says why they are character.
  void refuse_character(Symbol& s);
  bool analyse();             // pass3_types.cpp: types and lengths of every symbol
  bool dataflow(bool xref);   // pass4_dataflow.cpp
  // The inputs a symbol depends on, after dataflow (pass4_dataflow.cpp).
  const std::vector<CMPSYM*>& deps(Symbol& s);
  // Whether an assignment can write `s`: by its name, or through an array
  // whose assignment's subscripts can name it (constant subscripts name one
  // element). After dataflow.
  bool written(const Symbol& s);
  // The first _TEMPORARY_ array the program assigns that the value of `s`
  // can read, named by the element its assignments write first (NAME[i]),
  // or by the array's name alone when a subscript there is not a constant;
  // "" when none.
  std::string carried_temporary(Symbol& s);
  bool check();               // pass5_checks.cpp
  bool generate();            // pass7_codegen_program.cpp: the program and the executor

  // A compile error or note: catalogue message 148/number with its inserts.
  void error(int number, ...);
  void note(int number, ...);
  bool failed() const { return failed_; }

  // The symbol of a variable the program uses, made when new and entered in
  // the program's variables; null (after an error) when no cell is left.
  Symbol* variable(const std::string& name);
  // The variables a variable list names, in program order. Names not yet
  // known are made when `create` is set, else reported.
  std::vector<Symbol*> expand(const language::VarList& list, bool create);
  std::vector<Symbol*> variables_in_order(bool create);

  // Marks the analyses out of date after a change to statements or symbols.
  void changed() { analysed_ = flowed_ = false; }
  bool analysed() const { return analysed_; }

  // A failed allocation: the error flag and the shortfall tell the caller.
  void out_of_memory(long bytes) {
    if (errflag_) *errflag_ = 1;
    add_shortfall(bytes);
  }

  int current_segment() const { return seg_ ? *seg_ : 0; }
  void add_shortfall(long bytes) {
    if (memdef_) *memdef_ += bytes;
  }

  CellStore cells;
  SymbolTable symbols{cells};
  std::vector<std::unique_ptr<CMPSTMT>> statements;
  // The program's statements as the parser split the source (a MODEL
  // statement nested in IF or ELSE is a statement of its own), for
  // cmplsrc and cmpsts; empty when the program came without that split,
  // and then the compiled statements serve.
  std::vector<std::unique_ptr<CMPSTMT>> sources;
  std::vector<ArrayInfo> arrays;
  std::unordered_map<std::string, int> array_index;
  std::unordered_map<std::string, const language::Stmt*> labels;  // segment 0, by upper-case name
  std::vector<DatasetVariable> dataset;  // the input data set's variables, once resolved
  void* dataset_file = nullptr;          // the input data set resolved against
  std::shared_ptr<const Program> program;
  std::unique_ptr<Executor> executor;
  std::unique_ptr<BlockRunner> block_runner;  // runs the executor's program over blocks, once asked
  // Variables of the program in the order they first appear (the data set's first, once
  // resolved): what _ALL_, ranges and the value listings follow.
  std::vector<Symbol*> pdv;
  std::vector<int> temp_cells;                     // temporaries, reused by every generation
  std::map<int, std::vector<int>> temp_blocks;     // consecutive temporaries by size
  std::unique_ptr<Derivatives> derivatives;  // made by the first derivative request
  bool notes = true;       // notes are logged (errors always are)
  int estimates = 0;       // ESTIMATE expressions so far
  int contrast_rows = 0;   // CONTRAST rows so far
  void* output_manager = nullptr;

 private:
  void report(int number, va_list args);

  int* errflag_ = nullptr;
  long* memdef_ = nullptr;
  int* seg_ = nullptr;
  int where_cell_ = -1;  // the WHERE segment's result
  std::unordered_set<const CMPSYM*> refused_;  // character symbols refused as numbers
  bool failed_ = false;
  bool analysed_ = false;
  bool flowed_ = false;
  std::unique_ptr<FlowGraphResult> flow_;  // the last data-flow analysis
};

// An element of an array as the program writes it: NAME[i] or NAME[i,j],
// from its row-major index.
std::string element_name(const ArrayInfo& a, long index);

// The compiler of a block; null (after logging nothing) before cmpinit.
inline Compiler* compiler_of(CMPGLOBAL* g) { return g ? g->compiler : nullptr; }

}  // namespace platform::compiler
