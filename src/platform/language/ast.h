// The syntax tree of a step's program: the programming statements the
// model-program compiler compiles, and the procedure statements it declares
// symbols from (MODEL, DER., CONTROL, PARMS, ESTIMATE, CONTRAST).
//
// Plain structs: a kind enum and the members that kind uses; children are
// owned through std::unique_ptr in std::vector. Members a kind does not use
// stay at their defaults. Every node carries the line and column (1-based)
// of its first token in the program file.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform::language {

struct SourcePos {
  int line = 0;
  int column = 0;
};

// ---------------------------------------------------------------------------
// Expressions

enum class ExprKind {
  Number,    // number: value (dates, times and datetimes already converted)
  Missing,   // missing literal: missing ('.' or 'A'..'Z' or '_')
  String,    // quoted string: text (doubled quotes already undone)
  Variable,  // variable: name, key; compound names DER.p, DER.p.q, MODEL.y too
  ArrayRef,  // array element: name, key of the array; args = subscripts
  Unary,     // unary_op applied to args[0]
  Binary,    // args[0] binary_op args[1]
  Call,      // function call: name, key; args = arguments in order
  In,        // args[0] IN (args[1], ..., args[n]); negated for NOT IN
};

// What a Number literal was written as; the value is already converted:
// a date in days since 1 January 1960, a time in seconds since midnight, a
// datetime in seconds since 1 January 1960 00:00:00.
enum class NumberForm { Plain, Date, Time, DateTime };

enum class UnaryOp {
  Plus,   // prefix +
  Minus,  // prefix -
  Not,    // NOT ^ ~
};

// Binary operators from the tightest binding group to the loosest:
//   1. **  ><  <>         right to left, with the prefix operators
//   2. *  /               left to right
//   3. +  -               left to right
//   4. ||                 left to right
//   5. = ^= < <= > >= IN  comparisons; a chain a < b < c is parsed as
//                         (a < b) AND (b < c), with b copied
//   6. &  AND             left to right
//   7. |  OR              left to right
// So -x**2 is -(x**2), 2**3**2 is 2**(3**2), a-b-c is (a-b)-c.
enum class BinaryOp {
  Power,     // **
  Min,       // ><  (the smaller operand)
  Max,       // <>  (the larger operand)
  Multiply,  // *
  Divide,    // /
  Add,       // +
  Subtract,  // -
  Concat,    // ||  (strings)
  Eq,        // =  EQ
  Ne,        // ^=  ~=  NE
  Lt,        // <  LT
  Le,        // <=  LE
  Gt,        // >  GT
  Ge,        // >=  GE
  And,       // &  AND
  Or,        // |  OR
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
using ExprList = std::vector<ExprPtr>;

struct Expr {
  Expr() = default;
  Expr(Expr&&) = default;
  Expr& operator=(Expr&&) = default;
  // Takes the operands apart with a stack of its own, so that a deep tree
  // (a long chain a+b+c+...) does not recurse once per level.
  ~Expr();

  ExprKind kind = ExprKind::Number;
  SourcePos pos;
  double number = 0;                   // Number
  NumberForm form = NumberForm::Plain; // Number
  char missing = '.';                  // Missing
  std::string name;                    // String: its text; Variable, ArrayRef, Call: as written
  std::string key;                     // Variable, ArrayRef, Call: upper-cased name
  UnaryOp unary_op = UnaryOp::Plus;    // Unary
  BinaryOp binary_op = BinaryOp::Add;  // Binary
  bool negated = false;                // In: NOT IN
  ExprList args;                       // operands, subscripts, arguments, IN value then list
};

// ---------------------------------------------------------------------------
// Variable lists (RETAIN, ARRAY elements, LENGTH, KEEP, DROP, FORMAT, ...).
// A numbered range x1-x3 is expanded by the parser into names; the ranges
// that depend on the order of the variables stay as ranges.

enum class VarListKind {
  Name,            // first
  Range,           // first -- last (every variable between, in order)
  NumericRange,    // first -NUMERIC- last
  CharacterRange,  // first -CHARACTER- last
  Prefix,          // first:  (every variable whose name begins with first)
  All,             // _ALL_
  Numeric,         // _NUMERIC_
  Character,       // _CHARACTER_ or _CHAR_
};

struct VarListItem {
  VarListKind kind = VarListKind::Name;
  SourcePos pos;
  std::string first;  // as written
  std::string last;   // ranges only
};

using VarList = std::vector<VarListItem>;

// ---------------------------------------------------------------------------
// Statements

enum class StmtKind {
  Null,         // ";" alone or "label: ;"
  Assign,       // target = value; target a Variable (compound DER.p too) or ArrayRef
  Model,        // MODEL target = value; target is the dependent Variable (plain name);
                //   the program's symbol for it is MODEL.<name>
  If,           // IF condition THEN body[0] [ELSE else_body[0]]
  Do,           // DO; body END;
  DoIterative,  // DO target = clauses; body END;
  DoWhile,      // DO WHILE (condition); body END;
  DoUntil,      // DO UNTIL (condition); body END;  (body runs at least once)
  Select,       // SELECT [(condition)]; whens; [OTHERWISE else_body]; END;
  Retain,       // RETAIN retains
  Array,        // ARRAY array
  Length,       // LENGTH lengths
  Delete,       // DELETE  (the observation is not used)
  Return,       // RETURN  (from a LINK, else ends this run normally)
  Stop,         // STOP    (ends the data pass)
  Abort,        // ABORT   (ends the data pass with an error)
  Leave,        // LEAVE   (leaves the innermost iterative or conditional DO)
  Continue,     // CONTINUE (next iteration of the innermost DO loop)
  Goto,         // GOTO | GO TO target_label
  Link,         // LINK target_label
  Put,          // PUT puts  (to the log)
  Label,        // LABEL name = 'text' ...: attribs (label only)
  Attrib,       // ATTRIB attribs
  Where,        // WHERE condition  (filters input observations; data layer)
  Format,       // FORMAT attribs (format only); recorded, no effect on values
  Keep,         // KEEP vars
  Drop,         // DROP vars
  Control,      // CONTROL retains: control variables with optional initial values
  Parms,        // PARMS parm_groups
  Estimate,     // ESTIMATE 'text' exprs
  Contrast,     // CONTRAST 'text' exprs
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

// One start [TO end] [BY step] [WHILE (c)] [UNTIL (c)] of an iterative DO;
// DO i = 1, 3, 5 has three clauses with start only.
struct DoClause {
  ExprPtr start;
  ExprPtr to;          // null when absent
  ExprPtr by;          // null: step 1
  ExprPtr while_cond;  // null when absent
  ExprPtr until_cond;  // null when absent
};

// A WHEN clause: WHEN (values) statement. With a SELECT expression the
// clause matches when one value equals it; without, when one value is true.
struct WhenClause {
  SourcePos pos;
  ExprList values;
  StmtPtr body;
};

// RETAIN or CONTROL: variables and the initial values that follow them.
// RETAIN a b 0 c 1 gives {a b, 0} and {c, 1}; RETAIN x (1 2) initial values
// are given to the listed variables in order.
struct RetainItem {
  VarList vars;
  ExprList initial;  // Number, Missing or String literals; may be empty
};

// ARRAY name{dims} [$] [length] [elements] [(initial values)]
struct ArrayDim {
  long lower = 1;
  long upper = 0;      // lower..upper; {n} is 1..n
  bool star = false;   // {*}: the count of the elements
};

struct ArrayDecl {
  std::string name;             // as written
  std::string key;              // upper-cased
  std::vector<ArrayDim> dims;
  bool is_char = false;         // $
  int length = 0;               // declared element length in bytes, 0 default
  bool temporary = false;       // _TEMPORARY_: no variables, only cells
  VarList elements;             // empty: name1 .. nameN
  ExprList initial;             // literals, in element order
};

// LENGTH vars [$] n ...
struct LengthItem {
  VarList vars;
  bool is_char = false;
  int length = 8;
};

// ATTRIB/LABEL/FORMAT item: vars with their attributes.
struct AttribItem {
  VarList vars;
  std::string label;    // LABEL=
  bool has_label = false;
  SourcePos label_pos;  // where the label's quoted text starts
  std::string format;   // FORMAT= or the FORMAT statement's format, as written
  bool is_char = false; // LENGTH=$n
  int length = 0;       // LENGTH=, 0 when not given
};

// One PUT item.
enum class PutKind {
  Value,       // expr [format]
  NamedValue,  // name=  [format]
  Text,        // 'text'
  All,         // _ALL_  (every variable as name=value)
  Page,        // _PAGE_ (ignored on the log)
};

struct PutItem {
  PutKind kind = PutKind::Value;
  SourcePos pos;
  ExprPtr value;       // Value, NamedValue: the variable or array element
  std::string text;    // Text
  std::string format;  // as written, empty when none
};

// PARMS: names followed by starting values. PARMS a = 1 2 TO 4 BY 1 gives
// values {1}, {2 TO 4 BY 1}. Names without values take the values of the
// next group (the procedure does that, not the compiler).
struct ValueRange {
  double start = 0;
  bool has_to = false;
  double to = 0;
  double by = 1;
};

struct ParmGroup {
  VarList names;
  std::vector<ValueRange> values;
};

struct Stmt {
  StmtKind kind = StmtKind::Null;
  SourcePos pos;
  std::vector<std::string> labels;  // "name:" labels in front, as written

  ExprPtr target;                   // Assign, Model, DoIterative
  ExprPtr value;                    // Assign, Model; Select: its expression or null
  ExprPtr condition;                // If, DoWhile, DoUntil, Where
  StmtList body;                    // If: then (one); Do*: the group; Assign, Model: the
                                    //   derivative statements the compiler adds after it
  StmtList else_body;               // If: else (zero or one); Select: otherwise (zero or one);
                                    //   Assign, Model: values its derivatives share, which the
                                    //   compiler moved out of the value to compute them first
  std::vector<DoClause> clauses;        // DoIterative
  std::vector<WhenClause> whens;    // Select
  std::vector<RetainItem> retains;  // Retain, Control
  std::unique_ptr<ArrayDecl> array; // Array
  std::vector<LengthItem> lengths;  // Length
  std::vector<AttribItem> attribs;  // Label, Attrib, Format
  std::vector<PutItem> puts;        // Put
  VarList vars;                     // Keep, Drop
  std::string target_label;         // Goto, Link (as written)
  std::vector<ParmGroup> parm_groups;  // Parms
  std::string text;                 // Estimate, Contrast: the quoted label
  ExprList exprs;                   // Estimate, Contrast
  std::string source;               // the statement's text as written, labels included, for a
                                    // statement that begins its own ";"-ended piece of source
  bool on_demand = false;           // Do: derivative statements the compiler added that run
                                    //   only when a run asks for every derivative
};

// A step's program in statement order.
struct Program {
  StmtList statements;
};

}  // namespace platform::language
