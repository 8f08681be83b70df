// The compiler's entry points beside the host services.
//
// The statement parser hands each parsed statement of a step over with
// `add_statement` (cmppars calls it once per statement, in order, after
// cmpinit): programming statements and MODEL go into the model program;
// PARMS and CONTROL declare their symbols; each ESTIMATE and CONTRAST
// expression becomes an expression symbol computed by program segment 1.
//
// The profiling engine compiles the model from its source text with
// `compile_text`, and runs it on its own threads with executors of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/compiler_types.h"
#include "platform/compiler/dataset_view.h"
#include "platform/language/ast.h"

namespace platform::compiler {

class Executor;

// Hands one parsed statement to the compiler block. Returns, in order, the
// symbols an ESTIMATE or CONTRAST statement's expressions compute (what the
// statement's expression list holds), the parameters of a PARMS statement,
// the variables of a CONTROL statement; nothing for other statements.
// Errors are reported as they are found and set the block's error flag.
std::vector<CMPSYM*> add_statement(CMPGLOBAL* cmp, language::StmtPtr stmt);
// One statement of the source as the parser split it.
struct SourceStatement {
  std::string text;     // as written, labels included
  std::string keyword;  // "ASSIGN", "MODEL", "IF", ...
  int line = 0;
  int column = 0;
};
// Records the source statements (after the program was handed over); each
// is tied to the syntax-tree node that starts at its position.
void set_source_statements(CMPGLOBAL* cmp, std::vector<SourceStatement> sources);

// Releases every compiler whose block was not purged; the host calls it at
// the end of each step, after the end-of-task routine had its chance.
void purge_unreleased_compilers();

// Hands a whole program over, statement by statement.
void add_program(CMPGLOBAL* cmp, language::Program&& program);

// Parses program text into statements; false with a message on a syntax error.
using ProgramParser = bool (*)(std::string_view text, language::Program* program,
                               std::string* error);
// Installs the statement parser used by compile_text; returns the previous one.
ProgramParser install_program_parser(ProgramParser parser);

// Compiles a whole program from its text into a block already initialised
// with cmpinit: parse, resolve the names of `inputs` as input variables,
// check and generate. Returns 0, or nonzero after the errors were logged.
int compile_text(CMPGLOBAL* cmp, std::string_view text, const std::vector<DatasetVariable>& inputs);

// A program compiled for minimisation: the objective variable, the
// parameters, and the symbols of the objective's analytic first derivatives
// (one per parameter) and second derivatives (packed lower triangle by
// rows; all null when they were not asked for); a null derivative is zero.
struct ObjectiveProgram {
  CMPSYM* objective = nullptr;
  std::vector<CMPSYM*> parms;
  std::vector<CMPSYM*> gradient;
  std::vector<CMPSYM*> hessian;
};
struct ObjectiveOptions {
  bool second_derivatives = true;  // the objective's second derivatives as well as its first
  bool notes = true;               // notes logged (a second compile of one text leaves them out)
};
// As compile_text, with `parms` declared as the program's parameters and the
// derivatives of the variable `objective` asked for before code generation.
int compile_objective_text(CMPGLOBAL* cmp, std::string_view text, const std::vector<DatasetVariable>& inputs,
                           const std::vector<std::string>& parms, std::string_view objective,
                           const ObjectiveOptions& options, ObjectiveProgram* out);

// The WHERE statements' verdict on the observation whose values are in the
// block's cells (after xyvget): 1 keep it, 0 leave it out. 1 when the
// program has no WHERE statement or is not generated.
int where_accepts(CMPGLOBAL* cmp);

// Whether passes may run the model program over blocks of observations
// (cmpbpas); on unless switched off. Tests switch it off to compare a pass
// run both ways.
void allow_block_runs(bool allowed);
bool block_runs_allowed();
// By cell of the program compiled in `cmp`: whether it is a temporary, whose
// value no one reads after a run (what a BlockFrame's `temporary` holds).
std::vector<bool> temporary_cells(CMPGLOBAL* cmp);

// An executor with a frame of its own for another thread, copied from the
// block's own frame (after cmpgen; null before). Its cells are its own:
// parameters and data values are set through `executor_cell`.
std::unique_ptr<Executor> new_executor(CMPGLOBAL* cmp);
// The cell of a numeric symbol in an executor's frame.
double* executor_cell(Executor& executor, CMPGLOBAL* cmp, const CMPSYM* sym);
// The text of a character symbol in an executor's frame (its declared
// length in bytes, blank-padded); null for other symbols.
char* executor_text(Executor& executor, CMPGLOBAL* cmp, const CMPSYM* sym);

}  // namespace platform::compiler
