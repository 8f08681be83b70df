#include "platform/language/program_parser.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <string_view>

#include "platform/language/messages.h"
#include "platform/language/varlist.h"

namespace platform::language {
namespace {

// The keyword lists are arrays, not sets: built at compile time, they take
// no memory before main, where a start short of it is reported.

// Statement keywords of the procedure (parsed elsewhere).
constexpr std::string_view kProcedureKeywords[] = {
    "RUVA", "PARMS", "PARM", "PARAMETERS", "PARAMETER", "BOUNDS", "BOUND", "ID", "BY",
    "CONTROL", "CONT", "CON", "OUTPUT", "ESTIMATE", "CONTRAST", "PROFILE", "BOOTSTRAP",
    "BOOT", "RESTRICT"};

constexpr std::string_view kUnsupported[] = {
    "CALL", "FILE", "DECLARE", "FUNCTION", "FUNC", "SUBROUTINE", "SUB", "ENDFUNC", "ENDSUB",
    "OUTARGS", "OUTARG", "DELETEFUNC", "DELFUNC", "DELETESUBR", "DELSUBR", "LISTFUNC",
    "LISTSUBR", "STRUCT", "EXTERNC", "POINTER", "STATIC", "INCLUDE", "INC",
    "__PROCINSERT__", "__PGSEGMENT__"};

template <std::size_t N>
bool listed(const std::string_view (&words)[N], std::string_view word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// The length of a character variable, 1 to 32767.
int take_length(Cursor& in) {
  const Token& t = in.peek();
  if (t.kind != TokenKind::Number || !t.integer || t.number < 1 || t.number > 32767)
    in.fail_expected("a length from 1 to 32767");
  return static_cast<int>(in.next().number);
}

constexpr std::string_view kStatementKeywords[] = {
    "IF", "DO", "SELECT", "MODEL", "RETAIN", "ARRAY", "LENGTH", "DELETE", "RETURN", "STOP", "ABORT",
    "LEAVE", "CONTINUE", "GOTO", "GO", "LINK", "PUT", "LABEL", "ATTRIB", "WHERE", "FORMAT", "KEEP",
    "DROP", "ELSE", "END", "WHEN", "OTHERWISE"};

std::string text_of(const std::vector<Token>& tokens, const Segment& s) {
  const Token& a = tokens[s.label_begin];
  const Token& b = tokens[s.semicolon];
  const char* end = b.spell.data() + b.spell.size();
  return std::string(a.spell.data(), static_cast<std::size_t>(end - a.spell.data()));
}

StmtPtr new_stmt(StmtKind kind, const Token& first) {
  auto s = std::make_unique<Stmt>();
  s->kind = kind;
  s->pos = first.pos;
  return s;
}

void collect_labels(const StmtList& list, std::map<std::string, SourcePos>* defined,
                    std::vector<const Stmt*>* jumps, std::vector<ParseError>* errors);

void collect_labels(const Stmt& s, std::map<std::string, SourcePos>* defined,
                    std::vector<const Stmt*>* jumps, std::vector<ParseError>* errors) {
  for (const std::string& label : s.labels) {
    std::string key = label;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!defined->emplace(key, s.pos).second)
      errors->push_back({s.pos, msg::kDuplicateLabel, {label}});
  }
  if (s.kind == StmtKind::Goto || s.kind == StmtKind::Link) jumps->push_back(&s);
  collect_labels(s.body, defined, jumps, errors);
  collect_labels(s.else_body, defined, jumps, errors);
  for (const WhenClause& w : s.whens)
    if (w.body) collect_labels(*w.body, defined, jumps, errors);
}

void collect_labels(const StmtList& list, std::map<std::string, SourcePos>* defined,
                    std::vector<const Stmt*>* jumps, std::vector<ParseError>* errors) {
  for (const StmtPtr& s : list) collect_labels(*s, defined, jumps, errors);
}

}  // namespace

ProgramParser::ProgramParser(Cursor& in) : in_(in) {
  expr_.is_array = [this](const std::string& key) { return arrays_.count(key) > 0; };
}

bool ProgramParser::at_programming_statement() {
  const Token& t = in_.peek();
  if (t.kind != TokenKind::Name) return true;
  if (in_.is("=", 1)) return true;  // an assignment, whatever the name
  return !listed(kProcedureKeywords, t.upper);
}

std::vector<SourcePiece> ProgramParser::take_pieces() {
  std::vector<SourcePiece> out;
  out.swap(pieces_);
  return out;
}

std::size_t ProgramParser::open_piece(std::size_t begin, const std::string& name) {
  SourcePiece p;
  p.begin = begin;
  p.first = in_.position();
  p.name = name;
  pieces_.push_back(std::move(p));
  return pieces_.size() - 1;
}

void ProgramParser::close_piece(std::size_t piece) {
  if (piece < pieces_.size() && pieces_[piece].end == 0) pieces_[piece].end = in_.position();
}

void ProgramParser::keyword_piece(std::size_t begin, const std::string& name) {
  const std::size_t p = open_piece(begin, name);
  pieces_[p].first = begin;
  close_piece(p);
}

std::vector<const Stmt*> ProgramParser::take_models() {
  std::vector<const Stmt*> out;
  out.swap(models_);
  return out;
}

StmtPtr ProgramParser::parse_statement() {
  Cursor::Nested nested(in_);
  std::vector<std::string> labels;
  std::string source;
  const std::size_t at = in_.position();
  if (const Segment* seg = in_.segment_at(at); seg && seg->label_begin == at) {
    labels = seg->labels;
    source = text_of(in_.tokens(), *seg);
    in_.seek(seg->first);
  }
  const Token& first = in_.peek();
  const bool keyword = first.kind == TokenKind::Name && !in_.is("=", 1) &&
                       (listed(kStatementKeywords, first.upper) || listed(kUnsupported, first.upper));
  const std::string name = first.is(";") ? "NULL" : keyword ? first.upper : "ASSIGN";
  const std::size_t saved = current_piece_;
  current_piece_ = open_piece(at, name);
  StmtPtr s = parse_unlabelled(std::move(labels), first);
  close_piece(current_piece_);
  current_piece_ = saved;
  if (!source.empty()) s->source = std::move(source);
  return s;
}

StmtPtr ProgramParser::parse_unlabelled(std::vector<std::string> labels, const Token& first) {
  StmtPtr s;
  const std::string& k = first.upper;
  const bool keyword = first.kind == TokenKind::Name && !in_.is("=", 1);
  const bool subscript = in_.is("{", 1) || in_.is("[", 1) ||
                         (in_.is("(", 1) && (arrays_.count(k) || (!listed(kStatementKeywords, k) && !listed(kUnsupported, k))));
  if (first.is(";")) {
    s = new_stmt(StmtKind::Null, first);
    in_.next();
  } else if (first.kind == TokenKind::Compound || !keyword || subscript) {
    s = parse_assignment(first);  // a variable, or an element of an array declared or not
  } else {
    s = parse_keyword(first);
  }
  s->labels = std::move(labels);
  return s;
}

// A statement that begins with its keyword.
StmtPtr ProgramParser::parse_keyword(const Token& first) {
  using Handler = StmtPtr (ProgramParser::*)(const Token&, StmtKind);
  struct Entry {
    Handler handler;
    StmtKind kind;
  };
  static const std::map<std::string, Entry> kHandlers = {
      {"IF", {&ProgramParser::parse_if, StmtKind::If}},
      {"DO", {&ProgramParser::parse_do, StmtKind::Do}},
      {"SELECT", {&ProgramParser::parse_select, StmtKind::Select}},
      {"MODEL", {&ProgramParser::parse_model, StmtKind::Model}},
      {"RETAIN", {&ProgramParser::parse_retain, StmtKind::Retain}},
      {"ARRAY", {&ProgramParser::parse_array, StmtKind::Array}},
      {"LENGTH", {&ProgramParser::parse_length, StmtKind::Length}},
      {"DELETE", {&ProgramParser::parse_simple, StmtKind::Delete}},
      {"RETURN", {&ProgramParser::parse_simple, StmtKind::Return}},
      {"STOP", {&ProgramParser::parse_simple, StmtKind::Stop}},
      {"ABORT", {&ProgramParser::parse_simple, StmtKind::Abort}},
      {"LEAVE", {&ProgramParser::parse_loop_control, StmtKind::Leave}},
      {"CONTINUE", {&ProgramParser::parse_loop_control, StmtKind::Continue}},
      {"GOTO", {&ProgramParser::parse_jump, StmtKind::Goto}},
      {"GO", {&ProgramParser::parse_jump, StmtKind::Goto}},
      {"LINK", {&ProgramParser::parse_jump, StmtKind::Link}},
      {"PUT", {&ProgramParser::parse_put, StmtKind::Put}},
      {"LABEL", {&ProgramParser::parse_label, StmtKind::Label}},
      {"ATTRIB", {&ProgramParser::parse_attrib, StmtKind::Attrib}},
      {"WHERE", {&ProgramParser::parse_where, StmtKind::Where}},
      {"FORMAT", {&ProgramParser::parse_format, StmtKind::Format}},
      {"KEEP", {&ProgramParser::parse_var_statement, StmtKind::Keep}},
      {"DROP", {&ProgramParser::parse_var_statement, StmtKind::Drop}},
  };
  const std::string& k = first.upper;
  if (auto it = kHandlers.find(k); it != kHandlers.end()) return (this->*it->second.handler)(first, it->second.kind);
  if (k == "ELSE") in_.fail(msg::kElseWithoutIf, {});
  if (k == "END") in_.fail(msg::kEndWithoutDo, {});
  if (listed(kUnsupported, k)) in_.fail(msg::kUnsupportedStatement, {std::string(first.spell)});
  in_.fail(msg::kUnknownStatement, {std::string(first.spell)});
}

StmtPtr ProgramParser::parse_loop_control(const Token& first, StmtKind kind) {
  if (loop_depth_ == 0) in_.fail(msg::kOutsideLoop, {first.upper});
  return parse_simple(first, kind);
}

// WHERE reads <> as "not equal".
StmtPtr ProgramParser::parse_where(const Token& first, StmtKind kind) {
  in_.next();
  auto s = new_stmt(kind, first);
  ExpressionContext where = expr_;
  where.where = true;
  s->condition = parse_expression(in_, where);
  in_.expect_end_of_statement();
  return s;
}

// KEEP and DROP: a variable list.
StmtPtr ProgramParser::parse_var_statement(const Token& first, StmtKind kind) {
  in_.next();
  auto s = new_stmt(kind, first);
  s->vars = parse_varlist(in_, true);
  in_.expect_end_of_statement();
  return s;
}

ExprPtr ProgramParser::parse_target() {
  const Token& t = in_.peek();
  if (t.kind != TokenKind::Name && t.kind != TokenKind::Compound) in_.fail_expected("a variable");
  // A target is a variable, a compound name or an array element: the
  // expression parser reads exactly that for a name or compound name.
  ExprPtr target = parse_expression_primary_only(in_, expr_);
  if (target->kind == ExprKind::Call) in_.fail_at(t, msg::kSubscripts, {std::string(t.spell)});
  return target;
}

StmtPtr ProgramParser::parse_assignment(const Token& first) {
  auto s = new_stmt(StmtKind::Assign, first);
  s->target = parse_target();
  in_.expect("=");
  s->value = parse_expression(in_, expr_);
  in_.expect_end_of_statement();
  return s;
}

StmtPtr ProgramParser::parse_if(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::If, first);
  s->condition = parse_expression(in_, expr_);
  in_.expect("THEN");
  close_piece(current_piece_);
  s->body.push_back(parse_statement());
  if (in_.is("ELSE")) {
    const std::size_t at = in_.position();
    in_.next();
    keyword_piece(at, "ELSE");
    s->else_body.push_back(parse_statement());
  }
  return s;
}

StmtPtr ProgramParser::parse_do(const Token& first, StmtKind) {
  in_.next();
  StmtPtr s;
  if (in_.is(";")) {
    s = new_stmt(StmtKind::Do, first);
    in_.next();
    close_piece(current_piece_);
    parse_do_body(first, &s->body);
    return s;
  }
  if ((in_.is("WHILE") || in_.is("UNTIL")) && in_.is("(", 1)) {
    s = new_stmt(in_.next().is("WHILE") ? StmtKind::DoWhile : StmtKind::DoUntil, first);
    in_.expect("(");
    s->condition = parse_expression(in_, expr_);
    in_.expect(")");
  } else {
    s = new_stmt(StmtKind::DoIterative, first);
    s->target = parse_target();
    in_.expect("=");
    do {
      s->clauses.push_back(parse_do_clause());
    } while (in_.accept(","));
  }
  in_.expect_end_of_statement();
  close_piece(current_piece_);
  ++loop_depth_;
  parse_do_body(first, &s->body);
  --loop_depth_;
  return s;
}

DoClause ProgramParser::parse_do_clause() {
  DoClause clause;
  clause.start = parse_expression(in_, expr_);
  if (in_.accept("TO")) clause.to = parse_expression(in_, expr_);
  if (in_.accept("BY")) clause.by = parse_expression(in_, expr_);
  for (int k = 0; k < 2; ++k) {
    if (!clause.while_cond && in_.is("WHILE")) {
      in_.next();
      in_.expect("(");
      clause.while_cond = parse_expression(in_, expr_);
      in_.expect(")");
    } else if (!clause.until_cond && in_.is("UNTIL")) {
      in_.next();
      in_.expect("(");
      clause.until_cond = parse_expression(in_, expr_);
      in_.expect(")");
    }
  }
  return clause;
}

// Statements up to the END of a DO group or SELECT.
void ProgramParser::parse_do_body(const Token& first, StmtList* body) {
  while (true) {
    if (in_.at_end()) in_.fail_at(first, msg::kMissingEnd, {std::string(first.spell)});
    const std::size_t at = in_.position();
    const Segment* seg = in_.segment_at(at);
    const bool bare = !seg || seg->label_begin != at || seg->labels.empty();
    if (bare && in_.is("END") && !in_.is("=", 1)) {
      in_.next();
      in_.expect_end_of_statement();
      keyword_piece(at, "END");
      return;
    }
    body->push_back(parse_statement());
  }
}

StmtPtr ProgramParser::parse_select(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Select, first);
  if (in_.accept("(")) {
    s->value = parse_expression(in_, expr_);
    in_.expect(")");
  }
  in_.expect_end_of_statement();
  close_piece(current_piece_);
  while (in_.is("WHEN")) {
    WhenClause w;
    const std::size_t at = in_.position();
    w.pos = in_.next().pos;
    in_.expect("(");
    do {
      w.values.push_back(parse_expression(in_, expr_));
    } while (in_.accept(","));
    in_.expect(")");
    keyword_piece(at, "WHEN");
    w.body = parse_statement();
    s->whens.push_back(std::move(w));
  }
  if (s->whens.empty()) in_.fail_expected("WHEN");
  if (in_.is("OTHERWISE")) {
    const std::size_t at = in_.position();
    in_.next();
    keyword_piece(at, "OTHERWISE");
    s->else_body.push_back(parse_statement());
  }
  if (in_.at_end()) in_.fail_at(first, msg::kMissingEnd, {std::string(first.spell)});
  const std::size_t end_at = in_.position();
  in_.expect("END");
  in_.expect_end_of_statement();
  keyword_piece(end_at, "END");
  return s;
}

StmtPtr ProgramParser::parse_model(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Model, first);
  const Token& dep = in_.expect_name("the dependent variable");
  s->target = std::make_unique<Expr>();
  s->target->kind = ExprKind::Variable;
  s->target->pos = dep.pos;
  s->target->name = std::string(dep.spell);
  s->target->key = dep.upper;
  in_.expect("=");
  s->value = parse_expression(in_, expr_);
  in_.expect_end_of_statement();
  models_.push_back(s.get());
  return s;
}

// Initial values: literals, signed numbers, or a parenthesised list of them.
ExprList ProgramParser::parse_initial_values() {
  ExprList out;
  auto one = [&] {
    const Token& t = in_.peek();
    if (t.is("-") || t.is("+")) {
      const bool minus = in_.next().is("-");
      const Token& n = in_.peek();
      if (n.kind != TokenKind::Number) in_.fail_expected("a number");
      in_.next();
      out.push_back(make_number(minus ? -n.number : n.number, t.pos));
      return;
    }
    ExprPtr lit = literal_from(t);
    if (!lit) in_.fail_expected("an initial value");
    in_.next();
    out.push_back(std::move(lit));
  };
  if (in_.accept("(")) {
    do {
      one();
      in_.accept(",");
    } while (!in_.is(")") && !in_.is(";") && !in_.at_end());
    in_.expect(")");
  } else {
    one();
  }
  return out;
}

StmtPtr ProgramParser::parse_retain(const Token& first, StmtKind kind) {
  in_.next();
  auto s = new_stmt(kind, first);
  while (!in_.is(";")) {
    RetainItem item;
    item.vars = parse_varlist(in_, true);
    const bool eq = kind == StmtKind::Control && in_.accept("=");
    const Token& t = in_.peek();
    if (eq || literal_from(t) || t.is("(") || t.is("-") || t.is("+"))
      item.initial = parse_initial_values();
    s->retains.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_array(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Array, first);
  auto a = std::make_unique<ArrayDecl>();
  const Token& name = in_.expect_name("an array name");
  a->name = std::string(name.spell);
  a->key = name.upper;
  const std::string close = in_.is("{") ? "}" : in_.is("[") ? "]" : in_.is("(") ? ")" : "";
  if (close.empty()) in_.fail_expected("\"{\"");
  in_.next();
  auto bound = [&]() -> long {
    const bool minus = in_.accept("-");
    const Token& t = in_.peek();
    // Far beyond any array's size, and far from the ends of a long.
    if (t.kind != TokenKind::Number || !t.integer || t.number > 1e15)
      in_.fail_expected("a whole-number bound of at most 15 digits");
    in_.next();
    return minus ? -static_cast<long>(t.number) : static_cast<long>(t.number);
  };
  do {
    ArrayDim d;
    if (in_.accept("*")) {
      d.star = true;
    } else {
      long first_bound = bound();
      if (in_.accept(":")) {
        d.lower = first_bound;
        d.upper = bound();
      } else {
        d.upper = first_bound;
      }
      if (d.upper < d.lower) in_.fail_at(name, msg::kBadArray, {a->name});
    }
    a->dims.push_back(d);
  } while (in_.accept(","));
  in_.expect(close);
  if (in_.accept("$")) a->is_char = true;
  if (in_.peek().kind == TokenKind::Number) a->length = take_length(in_);
  if (in_.is("_TEMPORARY_")) {
    in_.next();
    a->temporary = true;
  } else {
    a->elements = parse_varlist(in_, false);
  }
  if (in_.is("(")) a->initial = parse_initial_values();
  in_.expect_end_of_statement();
  // Constant shapes are checked here; lists with ranges are the compiler's.
  // The count stops growing past any list or initial values it is compared with.
  constexpr long kCountCap = 1L << 31;
  long count = 1;
  bool star = false;
  for (const ArrayDim& d : a->dims) {
    star = star || d.star;
    if (!d.star) count = std::min(kCountCap, count * std::min(kCountCap, d.upper - d.lower + 1));
  }
  bool plain = true;
  for (const VarListItem& v : a->elements) plain = plain && v.kind == VarListKind::Name;
  if (star && (a->dims.size() != 1 || a->elements.empty() || a->temporary))
    in_.fail_at(name, msg::kBadArray, {a->name});
  if (!star && plain && !a->elements.empty() && static_cast<long>(a->elements.size()) != count)
    in_.fail_at(name, msg::kBadArray, {a->name});
  if (!star && static_cast<long>(a->initial.size()) > count) in_.fail_at(name, msg::kBadArray, {a->name});
  arrays_.insert(a->key);
  s->array = std::move(a);
  return s;
}

StmtPtr ProgramParser::parse_length(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Length, first);
  while (!in_.is(";")) {
    LengthItem item;
    item.vars = parse_varlist(in_, true);
    item.is_char = in_.accept("$");
    item.length = take_length(in_);
    s->lengths.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_jump(const Token& first, StmtKind kind) {
  in_.next();
  if (first.is("GO")) in_.expect("TO");
  auto s = new_stmt(kind, first);
  s->target_label = std::string(in_.expect_name("a statement label").spell);
  in_.expect_end_of_statement();
  return s;
}

std::string ProgramParser::parse_format_spec() {
  const Token& t = in_.peek();
  if (t.kind == TokenKind::Format || (t.kind == TokenKind::Number && !t.integer)) {
    in_.next();
    return std::string(t.spell);
  }
  return {};
}

StmtPtr ProgramParser::parse_put(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Put, first);
  while (!in_.is(";")) {
    PutItem item;
    const Token& t = in_.peek();
    item.pos = t.pos;
    if (t.kind == TokenKind::String) {
      item.kind = PutKind::Text;
      item.text = in_.next().value;
    } else if (t.is("_ALL_")) {
      item.kind = PutKind::All;
      in_.next();
    } else if (t.is("_PAGE_")) {
      item.kind = PutKind::Page;
      in_.next();
    } else if (t.kind == TokenKind::Name || t.kind == TokenKind::Compound) {
      item.value = parse_target();
      item.kind = in_.accept("=") ? PutKind::NamedValue : PutKind::Value;
      item.format = parse_format_spec();
    } else {
      in_.fail_expected("a variable or a quoted text");
    }
    s->puts.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_label(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Label, first);
  while (!in_.is(";")) {
    AttribItem item;
    parse_varlist_item(in_, &item.vars);
    in_.expect("=");
    const Token& t = in_.peek();
    if (t.kind != TokenKind::String) in_.fail_expected("a quoted label");
    item.label_pos = t.pos;
    item.label = in_.next().value;
    item.has_label = true;
    s->attribs.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_attrib(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Attrib, first);
  while (!in_.is(";")) {
    AttribItem item;
    item.vars = parse_varlist(in_, true, "a variable name", true);
    while (in_.is("=", 1)) {
      const Token& opt = in_.next();
      in_.next();
      if (opt.is("LABEL")) {
        if (in_.peek().kind != TokenKind::String) in_.fail_expected("a quoted label");
        item.label_pos = in_.peek().pos;
        item.label = in_.next().value;
        item.has_label = true;
      } else if (opt.is("FORMAT")) {
        item.format = parse_format_spec();
        if (item.format.empty() && in_.peek().kind == TokenKind::Number) item.format = std::string(in_.next().spell);
        if (item.format.empty()) in_.fail_expected("a format such as best12.");
      } else if (opt.is("LENGTH")) {
        item.is_char = in_.accept("$");
        item.length = take_length(in_);
      } else {
        in_.fail_at(opt, msg::kUnknownOption, {std::string(opt.spell), "ATTRIB"});
      }
    }
    s->attribs.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_format(const Token& first, StmtKind) {
  in_.next();
  auto s = new_stmt(StmtKind::Format, first);
  while (!in_.is(";")) {
    AttribItem item;
    item.vars = parse_varlist(in_, true);
    item.format = parse_format_spec();
    if (item.format.empty() && in_.peek().kind == TokenKind::Number) item.format = std::string(in_.next().spell);
    s->attribs.push_back(std::move(item));
  }
  in_.next();
  return s;
}

StmtPtr ProgramParser::parse_simple(const Token& first, StmtKind kind) {
  in_.next();
  auto s = new_stmt(kind, first);
  in_.expect_end_of_statement();
  return s;
}

void ProgramParser::check_labels(const Program& program, std::vector<ParseError>* errors) const {
  std::map<std::string, SourcePos> defined;
  std::vector<const Stmt*> jumps;
  collect_labels(program.statements, &defined, &jumps, errors);
  for (const Stmt* j : jumps) {
    std::string key = j->target_label;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!defined.count(key)) errors->push_back({j->pos, msg::kUndefinedLabel, {j->target_label}});
  }
}

}  // namespace platform::language
