// The generated program: a compact register bytecode over one frame of
// value cells. Operands are cell indices (numeric cells), slot indices
// (character values) or code positions. The program is immutable once
// generated, so any number of executors may run it at once, each with its
// own frame.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::compiler {

// X(name, operands as the code listing shows them)
#define RUVA_CMP_OPCODES(X)                                     \
  X(Halt, "")           /* end of the segment: run code 0 */     \
  X(Mov, "a<-b")                                                 \
  X(Add, "a<-b+c")                                               \
  X(Sub, "a<-b-c")                                               \
  X(Mul, "a<-b*c")                                               \
  X(Div, "a<-b/c")                                               \
  X(Pow, "a<-b**c")                                              \
  X(Sqr, "a<-b*b")                                               \
  X(NMul, "a<--(b*c)")                                           \
  X(MulAdd, "a<-b*c+d")                                          \
  X(MulSub, "a<-b*c-d")                                          \
  X(SubMul, "a<-d-b*c")                                          \
  X(Neg, "a<--b")                                                \
  X(MinOp, "a<-b><c")                                            \
  X(MaxOp, "a<-b<>c")                                            \
  X(Eq, "a<-b=c")                                                \
  X(Ne, "a<-b^=c")                                               \
  X(Lt, "a<-b<c")                                                \
  X(Le, "a<-b<=c")                                               \
  X(Gt, "a<-b>c")                                                \
  X(Ge, "a<-b>=c")                                               \
  X(Not, "a<-not b")                                             \
  X(And, "a<-b&c")                                               \
  X(Or, "a<-b|c")                                                \
  X(Call1, "a<-f[d](b)")                                         \
  X(CallMul, "a<-f[d](b*c)")                                     \
  X(CallNMul, "a<-f[d](-(b*c))")                                 \
  X(Call2, "a<-f[d](b,c)")                                       \
  X(CallN, "a<-f[d](b..b+c-1)")                                  \
  X(Jmp, "goto a")                                               \
  X(Loop, "goto a (loop)")                                       \
  X(Jf, "if not b goto a")                                       \
  X(Jt, "if b goto a")                                           \
  X(SkipDer, "goto a unless derivatives above b are wanted")     \
  X(JfEq, "if not b=c goto a")                                   \
  X(JfNe, "if not b^=c goto a")                                  \
  X(JfLt, "if not b<c goto a")                                   \
  X(JfLe, "if not b<=c goto a")                                  \
  X(JfGt, "if not b>c goto a")                                   \
  X(JfGe, "if not b>=c goto a")                                  \
  X(JumpTable, "goto table[b][a]")                               \
  X(DoCheck, "check loop b to c by d")                           \
  X(DoTest, "if b past c by d goto a")                           \
  X(Index, "a<-index of b in dim d of array c")                  \
  X(LoadX, "a<-array c[b]")                                      \
  X(StoreX, "array c[b]<-a")                                     \
  X(Link, "link a")                                              \
  X(Return, "return")                                            \
  X(Delete, "delete")                                            \
  X(Stop, "stop")                                                \
  X(Abort, "abort")                                              \
  X(NoWhen, "no WHEN matched")                                   \
  X(Put, "put d")                                                \
  X(CMov, "$a<-$b")                                              \
  X(CCat, "$a<-$b||$c")                                          \
  X(CCmp, "a<-$b op[d] $c")                                      \
  X(N2C, "$a<-b")                                                \
  X(C2N, "a<-$b")                                                \
  X(CFn, "$a<-f[d]($b)")                                         \
  X(CSubstr, "$a<-substr($b,c,d)")                               \
  X(CLength, "a<-length($b)")                                    \
  X(CIndex, "a<-index($b,$c)")                                   \
  X(CMissing, "a<-missing($b)")                                  \
  X(CLoadX, "$a<-array c[b]")                                    \
  X(CStoreX, "array c[b]<-$a")

enum class Op : std::uint16_t {
#define RUVA_CMP_ENUM(name, text) name,
  RUVA_CMP_OPCODES(RUVA_CMP_ENUM)
#undef RUVA_CMP_ENUM
      kCount
};

// The operation's name in the code listing.
const char* op_name(Op op);

struct Instr {
  Op op = Op::Halt;
  std::uint16_t pad = 0;
  std::int32_t site = -1;  // where the operation stands in the source (errors, notes)
  std::int32_t a = 0, b = 0, c = 0, d = 0;
};

// What an instruction does in words, for run-time messages.
enum class SiteWhat : std::uint8_t { Operator, Function, Subscript, Loop, Conversion, Statement };

struct Site {
  int line = 0;
  int column = 0;
  SiteWhat what = SiteWhat::Operator;
  std::string name;  // the operator or function as written
};

// A character slot: storage in the frame's character area.
struct CharSlot {
  int offset = 0;
  int capacity = 0;
  bool variable = true;  // a variable keeps its full length; a temporary its own
};

struct ArrayShape {
  std::string name;
  bool character = false;
  std::vector<long> lower;   // per dimension
  std::vector<long> extent;  // per dimension
  std::vector<int> elements; // cells (numeric) or slots (character), row-major
};

// One item of a PUT statement.
struct PutItem {
  enum Kind { Value, NamedValue, Text, All } kind = Value;
  int operand = -1;       // cell, or slot when `character`
  bool character = false;
  std::string text;       // Text: the text; NamedValue: the name
  std::string format;     // as written, empty for the default
};

struct CellInit {
  int cell = 0;
  double value = 0;
};

struct CharInit {
  int slot = 0;
  std::string value;
};

// An external symbol: its cell in the frame, copied from and to the place
// the procedure gave it around each run.
struct ExternalCell {
  int symbol = 0;
  int cell = 0;
  bool stored = false;  // the program assigns it: copied back after the run
};

// A variable of the program as PUT _ALL_ and the error report show it.
struct VariableView {
  std::string name;
  bool character = false;
  int operand = 0;  // cell, or slot when character
};

struct StatementCode {
  int statement = 0;  // index among the compiled statements
  int begin = 0;      // first instruction
  int end = 0;        // one past the last
};

inline constexpr int kSegments = 3;  // 0 the model, 1 ESTIMATE and CONTRAST, 2 WHERE

struct Program {
  std::vector<Instr> code;
  int entry[kSegments] = {0, 0, 0};
  bool has_segment[kSegments] = {false, false, false};
  std::vector<Site> sites;
  std::vector<CharSlot> slots;
  std::vector<ArrayShape> arrays;
  std::vector<std::vector<int>> jump_tables;
  std::vector<std::vector<PutItem>> puts;
  std::vector<CellInit> pass_inits;      // cmpexi(1): retained cells and their initial values
  std::vector<CharInit> pass_char_inits;
  std::vector<int> reset_cells;          // cmpexi(0): set to missing
  // The same as runs of consecutive cells (first, count): those of the
  // derivatives only on-demand statements assign apart, which nothing reads
  // in a run that skips those statements.
  std::vector<std::pair<int, int>> reset_runs;
  std::vector<std::pair<int, int>> on_demand_reset_runs;
  std::vector<int> reset_slots;          // cmpexi(0): set to blanks
  std::vector<ExternalCell> externals;   // candidates; the executor checks their binding
  std::vector<StatementCode> statements;
  std::vector<VariableView> variables;   // the program's variables in program order
  int ncells = 0;                        // numeric cells of a frame
  int nchars = 0;                        // bytes of a frame's character area
  int where_result = -1;                 // cell of the WHERE segment's result
};

}  // namespace platform::compiler
