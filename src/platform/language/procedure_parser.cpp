#include "platform/language/procedure_parser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "host/missing.h"
#include "host/statement_records.h"
#include "platform/datasets/value_text.h"
#include "platform/language/messages.h"
#include "platform/language/program_parser.h"
#include "platform/language/varlist.h"
#include "platform/libraries.h"

namespace platform::language {
namespace {

// Relation codes of the BOUNDS relation array; a comma between items is
// recorded with a code that pairs nothing.
constexpr int kParmsDataField = 2;  // PDATA= or DATA=
constexpr int kLess = 36, kLessEqual = 37, kGreater = 40, kGreaterEqual = 41, kItemEnd = 0;

// Largest number of starting values one TO/BY range may produce.
constexpr double kMaxRangeValues = 1e6;

using ds::number_text;

FieldValue names_field(const VarList& list, SourcePos pos) {
  FieldValue f;
  f.type = stfield::kNames;
  f.names = varlist_texts(list);
  f.pos = pos;
  return f;
}

// BOUNDS relates its sides by the symbols alone: LT, LE, GT and GE are names
// there (a parameter may be called le).
bool is_relation(const Token& t) { return t.is("<") || t.is("<=") || t.is(">") || t.is(">="); }

bool is_relation_mnemonic(const Token& t) { return t.is("LT") || t.is("LE") || t.is("GT") || t.is("GE"); }

int relation_code(const Token& t) {
  if (t.is("<")) return kLess;
  if (t.is("<=")) return kLessEqual;
  if (t.is(">")) return kGreater;
  return kGreaterEqual;
}

// Where options are read: a statement ("PROC RUVA"), or the options that
// opened a list or a choice as written ("PLOTS(STATS=(", "DGP=").
bool inside_option(const std::string& where) {
  return !where.empty() && (where.back() == '(' || where.back() == '=');
}

// `option` as written inside `where`.
std::string nested(const std::string& where, const std::string& option) {
  return inside_option(where) ? where + option : option;
}

// How a message names the options read at `where`: the statement, or the
// opening options completed ("PLOTS(STATS=(...))", "DGP=").
std::string list_name(const std::string& where) {
  const auto open = std::count(where.begin(), where.end(), '(') - std::count(where.begin(), where.end(), ')');
  if (!inside_option(where) || open == 0) return where;
  return where + "..." + std::string(static_cast<std::size_t>(open), ')');
}

}  // namespace

std::string canonical_statement(const std::string& w) {
  if (w == "RUVA") return "RUVA";
  if (w == "PARMS" || w == "PARM" || w == "PARAMETERS" || w == "PARAMETER") return "PARMS";
  if (w == "BOUNDS" || w == "BOUND") return "BOUNDS";
  if (w == "CONTROL" || w == "CONT" || w == "CON") return "CONTROL";
  if (w == "BOOTSTRAP" || w == "BOOT") return "BOOTSTRAP";
  if (w == "ID" || w == "BY" || w == "OUTPUT" || w == "ESTIMATE" || w == "CONTRAST" ||
      w == "PROFILE" || w == "RESTRICT")
    return w;
  return {};
}

ProcStatement ProcedureParser::parse(StmtPtr* ast) {
  const Token& first = in_.next();
  ProcStatement st;
  st.keyword = canonical_statement(first.upper);
  st.pos = first.pos;
  if (st.keyword == "RUVA") parse_proc(st);
  else if (st.keyword == "PARMS") parse_parms(st, ast);
  else if (st.keyword == "BOUNDS") parse_bounds(st);
  else if (st.keyword == "ID") parse_id(st);
  else if (st.keyword == "BY") parse_by(st);
  else if (st.keyword == "CONTROL") parse_control(st, ast);
  else if (st.keyword == "OUTPUT") parse_output(st);
  else if (st.keyword == "ESTIMATE") parse_estimate(st, ast, OptionContext::Estimate);
  else if (st.keyword == "CONTRAST") parse_estimate(st, ast, OptionContext::Contrast);
  else if (st.keyword == "PROFILE") parse_profile(st);
  else if (st.keyword == "BOOTSTRAP") parse_bootstrap(st);
  else if (st.keyword == "RESTRICT") in_.fail_at(first, msg::kRestrict, {});
  else in_.fail_at(first, msg::kUnknownStatement, {std::string(first.spell)});
  in_.expect_end_of_statement();
  if (*ast) (*ast)->pos = st.pos;
  st.ast = ast->get();
  return st;
}

void ProcedureParser::parse_options(OptionContext context, ProcStatement& st, const std::string& where) {
  while (in_.peek().kind == TokenKind::Name) {
    const Token& word = in_.peek();
    const OptionSpec* desc = find_option(context, word.upper);
    if (!desc) in_.fail(msg::kUnknownOption, {std::string(word.spell), list_name(where)});
    in_.next();
    apply(*desc, st, word, where);
    in_.accept(",");
  }
}

void ProcedureParser::slash_options(OptionContext context, ProcStatement& st, const std::string& statement) {
  if (!in_.accept("/")) return;
  parse_options(context, st, statement);
}

// Options in parentheses after `opener` ("PLOTS", "STATS=").
void ProcedureParser::parse_list(OptionContext context, ProcStatement& st, const std::string& opener) {
  in_.expect("(");
  parse_options(context, st, opener + "(");
  in_.expect(")");
}

void ProcedureParser::apply(const OptionSpec& desc, ProcStatement& st, const Token& at,
                            const std::string& where) {
  for (int b : desc.bits)
    if (b >= 0) st.bits.set(static_cast<std::size_t>(b));
  const std::string name = nested(where, option_name(desc));
  switch (desc.kind) {
    case OptionKind::Flag:
    case OptionKind::Action: return;
    case OptionKind::Choice:
      in_.expect("=");
      if (in_.is("(") && desc.list != OptionContext::None) {
        st.bits.set(static_cast<std::size_t>(desc.list_bit));
        parse_list(desc.list, st, name + "=");
      } else {
        apply_one_of(desc, desc.sub, st, where);
      }
      return;
    case OptionKind::Group:
      if (in_.is("(")) parse_list(desc.sub, st, name);
      return;
    case OptionKind::Plots:
      if (in_.is("(")) parse_list(desc.sub, st, name);
      if (!in_.accept("=")) return;
      st.bits.set(static_cast<std::size_t>(desc.list_bit));
      if (in_.is("(")) parse_list(desc.list, st, name + "=");
      else apply_one_of(desc, desc.list, st, where);
      return;
    case OptionKind::Range: return parse_range(desc, st, at);
    default:
      in_.expect("=");
      st.fields[desc.field] = parse_value(desc, at);
  }
}

// "= KEYWORD" naming one option of `context` (STATS=ALL, DGP=WILD, PLOTS=FIT(...)).
void ProcedureParser::apply_one_of(const OptionSpec& desc, OptionContext context, ProcStatement& st,
                                   const std::string& where) {
  const std::string chosen = nested(where, option_name(desc) + "=");
  const Token& v = in_.peek();
  const OptionSpec* alt = v.kind == TokenKind::Name ? find_option(context, v.upper) : nullptr;
  if (!alt) in_.fail(msg::kUnknownOption, {std::string(v.spell), list_name(chosen)});
  in_.next();
  apply(*alt, st, v, chosen);
}

// The value after "=" of a Number, Keyword, Dataset or Names option.
FieldValue ProcedureParser::parse_value(const OptionSpec& desc, const Token& at) {
  FieldValue f;
  f.pos = at.pos;
  switch (desc.kind) {
    case OptionKind::Number:
      f.type = stfield::kNumber;
      f.number = parse_number(&desc, at);
      return f;
    case OptionKind::Keyword: {
      const Token& v = in_.peek();
      if (v.kind != TokenKind::Name || !matches_keyword(desc.values, v.upper))
        in_.fail_expected(std::string("one of ") + desc.values);
      in_.next();
      f.type = stfield::kKeyword;
      f.keyword = v.upper;
      return f;
    }
    case OptionKind::Dataset: return parse_dataset(desc);
    default: return names_field(parse_varlist(in_, true, "a variable name", true), at.pos);
  }
}

// RANGE= from [TO to] [BY step] into three fields; the set-up checks that
// all three are there.
void ProcedureParser::parse_range(const OptionSpec& desc, ProcStatement& st, const Token& at) {
  in_.expect("=");
  auto field = [&](int k) {
    FieldValue f;
    f.type = stfield::kNumber;
    f.pos = at.pos;
    f.number = parse_number(&desc, at);
    st.fields[k] = f;
  };
  field(desc.field);
  if (in_.accept("TO")) field(desc.field + 1);
  if (in_.accept("BY")) field(desc.field + 2);
}

// A number: optionally signed; a date, time or datetime literal; or a
// missing value, except as the value of option `desc`, whose range it is
// checked against.
double ProcedureParser::parse_number(const OptionSpec* desc, const Token& option) {
  const Token& sign = in_.peek();
  double s = 1;
  if (sign.is("-") || sign.is("+")) {
    s = sign.is("-") ? -1 : 1;
    in_.next();
  }
  const Token& t = in_.peek();
  double v = 0;
  switch (t.kind) {
    case TokenKind::Number:
    case TokenKind::Date:
    case TokenKind::Time:
    case TokenKind::DateTime: v = s * t.number; break;
    case TokenKind::Missing:
      if (s < 0 || sign.is("+")) in_.fail_expected("a number");
      v = t.missing == '.' ? missing_value()
          : t.missing == '_' ? underscore_missing_value()
                             : letter_missing_value(t.missing);
      break;
    default: in_.fail_expected("a number");
  }
  in_.next();
  if (!desc) return v;
  // A missing value would read as the option left out.
  const bool ranged = desc->low != kNoBound || desc->high != kNoBound;
  if (is_missing(v) && !ranged)
    in_.fail_at(option, msg::kMissingNumber, {option_name(*desc), std::string(t.spell)});
  const bool below = desc->low != kNoBound && v < desc->low, above = desc->high != kNoBound && v > desc->high;
  if (is_missing(v) || below || above) {
    std::string written = (s < 0 ? "-" : "") + std::string(t.spell);
    in_.fail_at(option, msg::kOutOfRange, {written, option_name(*desc), range_text(*desc)});
  }
  return v;
}

FieldValue ProcedureParser::parse_dataset(const OptionSpec& desc) {
  const Token& t = in_.peek();
  if (t.kind != TokenKind::Name) in_.fail_expected("a data-set name");
  DatasetName name;
  std::string why;
  if (!Libraries::parse(std::string(t.spell), &name, &why))
    in_.fail(msg::kBadDatasetName, {std::string(t.spell), why});
  in_.next();
  FieldValue f;
  f.type = stfield::kDataset;
  f.mode = static_cast<unsigned char>(desc.use);
  f.text = std::string(t.spell);
  f.pos = t.pos;
  return f;
}

void ProcedureParser::parse_proc(ProcStatement& st) { parse_options(OptionContext::Proc, st, "PROC RUVA"); }

ValueRange ProcedureParser::parse_value_range() {
  ValueRange r;
  const Token& at = in_.peek();
  r.start = parse_number(nullptr, at);
  if (in_.accept("TO")) {
    r.has_to = true;
    r.to = parse_number(nullptr, at);
    if (in_.accept("BY")) r.by = parse_number(nullptr, at);
    const double steps = (r.to - r.start) / r.by;
    if (is_missing(r.start) || is_missing(r.to) || is_missing(r.by) || r.by == 0 ||
        !(steps >= 0) || steps >= kMaxRangeValues)
      in_.fail_at(at, msg::kBadValueRange,
                  {number_text(r.start), number_text(r.to), number_text(r.by)});
  }
  return r;
}

void ProcedureParser::parse_parms(ProcStatement& st, StmtPtr* ast) {
  auto s = std::make_unique<Stmt>();
  s->kind = StmtKind::Parms;
  VarList all;
  // "a= b= c = 1 2" gives a and b the values of c; but "K = x" with no values
  // after it would make x a parameter and leave both without any.
  std::optional<Token> name_after_equals;
  while (at_varlist_item(in_)) {
    ParmGroup g;
    g.names = parse_varlist(in_, true);
    all.insert(all.end(), g.names.begin(), g.names.end());
    auto at_value = [&] {
      const Token& t = in_.peek();
      return t.kind == TokenKind::Number || t.kind == TokenKind::Missing || t.kind == TokenKind::Date ||
             t.kind == TokenKind::Time || t.kind == TokenKind::DateTime || t.is("-") || t.is("+");
    };
    if (in_.accept("=") && !name_after_equals && in_.peek().is_name()) name_after_equals = in_.peek();
    if (at_value()) name_after_equals.reset();
    while (at_value()) {
      g.values.push_back(parse_value_range());
      in_.accept(",");
    }
    s->parm_groups.push_back(std::move(g));
  }
  // Without names every parameter comes from the parameter data set.
  if (all.empty() && !in_.is("/")) in_.fail_expected("a parameter name");
  if (name_after_equals)
    in_.fail_at(*name_after_equals, msg::kExpected, {"a starting value", std::string(name_after_equals->spell)});
  st.fields[1] = names_field(all, st.pos);
  slash_options(OptionContext::Parms, st, "PARMS");
  if (all.empty() && !st.fields.count(kParmsDataField)) in_.fail(msg::kParmsWithoutParameters, {});
  *ast = std::move(s);
}

void ProcedureParser::parse_bounds(ProcStatement& st) {
  FieldValue items, relations;
  items.type = stfield::kNames;
  relations.type = stfield::kIntegers;
  items.pos = relations.pos = st.pos;
  std::optional<Token> mnemonic;  // an operand spelled like a relation, for the error
  auto operands = [&] {
    bool any = false;
    mnemonic.reset();
    while (true) {
      const Token& t = in_.peek();
      if (at_varlist_item(in_)) {
        if (is_relation_mnemonic(t)) mnemonic = t;
        VarList v;
        parse_varlist_item(in_, &v);
        for (const VarListItem& item : v) {
          if (item.kind != VarListKind::Name) in_.fail_at(t, msg::kNotAllowedHere, {item.first});
          items.names.push_back(item.first);
        }
      } else if (t.kind == TokenKind::Number || t.kind == TokenKind::Missing || t.is("-") ||
                 t.is("+")) {
        items.names.push_back(number_text(parse_number(nullptr, t)));
      } else {
        break;
      }
      any = true;
    }
    if (!any) in_.fail_expected("a parameter name or a number");
  };
  do {
    if (!items.names.empty()) {
      relations.integers.push_back(static_cast<int>(items.names.size()));
      relations.integers.push_back(kItemEnd);
    }
    operands();
    if (!is_relation(in_.peek()) && mnemonic)
      in_.fail_at(*mnemonic, msg::kExpected,
                  {"<, <=, > or >= (BOUNDS takes no LT, LE, GT or GE)", std::string(mnemonic->spell)});
    if (!is_relation(in_.peek())) in_.fail_expected("<, <=, > or >=");
    while (is_relation(in_.peek())) {
      const int code = relation_code(in_.next());
      relations.integers.push_back(static_cast<int>(items.names.size()));
      relations.integers.push_back(code);
      operands();
    }
  } while (in_.accept(","));
  st.fields[1] = std::move(items);
  st.fields[2] = std::move(relations);
}

void ProcedureParser::parse_id(ProcStatement& st) {
  st.fields[1] = names_field(parse_varlist(in_, true), st.pos);
}

void ProcedureParser::parse_by(ProcStatement& st) {
  FieldValue names, descending;
  names.type = stfield::kNames;
  descending.type = stfield::kIntegers;
  names.pos = descending.pos = st.pos;
  bool next_descending = false;
  while (!in_.is(";")) {
    if (in_.is("DESCENDING") && in_.peek(1).kind == TokenKind::Name) {
      in_.next();
      next_descending = true;
      continue;
    }
    if (in_.is("NOTSORTED")) {
      in_.next();
      st.bits.set(1);
      continue;
    }
    VarList v;
    parse_varlist_item(in_, &v);
    for (const std::string& n : varlist_texts(v)) {
      names.names.push_back(n);
      descending.integers.push_back(next_descending ? 1 : 0);
    }
    next_descending = false;
  }
  if (names.names.empty()) in_.fail_expected("a BY variable");
  st.fields[1] = std::move(names);
  st.fields[2] = std::move(descending);
}

void ProcedureParser::parse_control(ProcStatement& st, StmtPtr* ast) {
  auto s = std::make_unique<Stmt>();
  s->kind = StmtKind::Control;
  VarList all;
  while (!in_.is(";")) {
    RetainItem item;
    item.vars = parse_varlist(in_, true, "a variable name", false);
    all.insert(all.end(), item.vars.begin(), item.vars.end());
    const bool eq = in_.accept("=");
    const Token& t = in_.peek();
    if (eq || t.kind == TokenKind::Number || t.kind == TokenKind::String ||
        t.kind == TokenKind::Missing || t.is("-") || t.is("+")) {
      if (t.kind == TokenKind::String) {
        item.initial.push_back(literal_from(in_.next()));
      } else {
        double v = parse_number(nullptr, t);
        item.initial.push_back(is_missing(v) ? literal_from(t) : make_number(v, t.pos));
      }
    }
    s->retains.push_back(std::move(item));
  }
  st.fields[1] = names_field(all, st.pos);
  *ast = std::move(s);
}

void ProcedureParser::parse_output(ProcStatement& st) {
  parse_options(OptionContext::Output, st, "OUTPUT");
  slash_options(OptionContext::OutputSlash, st, "OUTPUT");
}

void ProcedureParser::parse_estimate(ProcStatement& st, StmtPtr* ast, OptionContext options) {
  auto s = std::make_unique<Stmt>();
  s->kind = options == OptionContext::Estimate ? StmtKind::Estimate : StmtKind::Contrast;
  const Token& label = in_.peek();
  if (label.kind != TokenKind::String) in_.fail_expected("a quoted label");
  s->text = in_.next().value;
  ExpressionContext ctx = expr_;
  ctx.slash_ends = [options](Cursor& in) {
    // "/ option" where an option of the statement follows the slash.
    const Token& word = in.peek(1);
    if (word.kind != TokenKind::Name || !find_option(options, word.upper)) return false;
    const Token& after = in.peek(2);
    return after.is("=") || after.is(";") || after.kind == TokenKind::Name;
  };
  do {
    s->exprs.push_back(parse_expression(in_, ctx));
  } while (in_.accept(","));
  FieldValue text, exprs;
  text.type = stfield::kText;
  text.text = s->text;
  text.pos = label.pos;
  exprs.type = stfield::kExprs;
  exprs.exprs = s.get();
  exprs.count = static_cast<int>(s->exprs.size());
  exprs.pos = label.pos;
  st.fields[4] = std::move(text);
  st.fields[2] = std::move(exprs);
  slash_options(options, st, st.keyword.c_str());
  *ast = std::move(s);
}

void ProcedureParser::parse_profile(ProcStatement& st) {
  st.fields[1] = names_field(parse_varlist(in_, false), st.pos);
  slash_options(OptionContext::Profile, st, "PROFILE");
}

void ProcedureParser::parse_bootstrap(ProcStatement& st) {
  slash_options(OptionContext::Bootstrap, st, "BOOTSTRAP");
}

}  // namespace platform::language
