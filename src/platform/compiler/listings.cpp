#include "platform/compiler/listings.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>

#include "platform/compiler/functions.h"
#include "platform/compiler/source_text.h"
#include "platform/host.h"

namespace platform::compiler {
namespace {

std::string printf_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printf_text(const char* format, ...) {
  char buffer[512];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buffer, sizeof buffer, format, ap);
  va_end(ap);
  return buffer;
}

// What each operand of an instruction is, for the code listing: c a cell,
// s a character slot, j a code position, f a function, a an array, k a
// count or number, o a comparison, t a jump table, p a PUT statement.
const char* operand_kinds(Op op) {
  switch (op) {
    case Op::Mov: case Op::Sqr: case Op::Neg: case Op::Not: return "cc--";
    case Op::NMul: return "ccc-";
    case Op::MulAdd: case Op::MulSub: case Op::SubMul: return "cccc";
    case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Pow: case Op::MinOp:
    case Op::MaxOp: case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
    case Op::And: case Op::Or: return "ccc-";
    case Op::Call1: return "cc-f";
    case Op::CallMul: case Op::CallNMul: return "cccf";
    case Op::Call2: return "cccf";
    case Op::CallN: return "cckf";
    case Op::Jmp: case Op::Loop: case Op::Link: case Op::SkipDer: return "j---";
    case Op::Jf: case Op::Jt: return "jc--";
    case Op::JfEq: case Op::JfNe: case Op::JfLt: case Op::JfLe: case Op::JfGt: case Op::JfGe:
      return "jcc-";
    case Op::JumpTable: return "-ct-";
    case Op::DoCheck: return "-ccc";
    case Op::DoTest: return "jccc";
    case Op::Index: return "ccak";
    case Op::LoadX: case Op::StoreX: return "cca-";
    case Op::Put: return "---p";
    case Op::CMov: return "ss--";
    case Op::CCat: return "sss-";
    case Op::CCmp: return "csso";
    case Op::N2C: return "sc--";
    case Op::C2N: case Op::CLength: case Op::CMissing: return "cs--";
    case Op::CFn: return "ss-k";
    case Op::CSubstr: return "sscc";
    case Op::CIndex: return "css-";
    case Op::CLoadX: case Op::CStoreX: return "sca-";
    default: return "----";
  }
}

class CodeNames {
 public:
  CodeNames(Compiler& c, const Program& p) : p_(p) {
    for (std::size_t i = 0; i < c.symbols.size(); ++i) {
      const Symbol& s = c.symbols.at(i);
      cells_[s.cell] = s.name;
      if (s.char_offset >= 0) chars_[s.char_offset] = s.name;
    }
  }

  std::string operand(char kind, int value) {
    switch (kind) {
      case 'c': return cell(value);
      case 's': return slot(value);
      case 'j': return printf_text("@%d", value);
      case 'f': return function_def(value).name;
      case 'a': return p_.arrays[static_cast<std::size_t>(value)].name;
      case 'p': return printf_text("put#%d", value);
      case 'o': {
        static const char* const ops[] = {"=", "^=", "<", "<=", ">", ">="};
        return value >= 0 && value < 6 ? ops[value] : "?";
      }
      default: return std::to_string(value);
    }
  }

 private:
  std::string cell(int index) {
    if (index < 0) return "-";
    auto it = cells_.find(index);
    if (it != cells_.end()) return it->second;
    const std::string name = printf_text("_T%d", ++temps_);
    cells_.emplace(index, name);
    return name;
  }
  std::string slot(int index) {
    if (index < 0) return "-";
    const CharSlot& s = p_.slots[static_cast<std::size_t>(index)];
    auto it = chars_.find(s.offset);
    if (it != chars_.end()) return it->second;
    const std::string name = printf_text("_C%d", ++texts_);
    chars_.emplace(s.offset, name);
    return name;
  }

  const Program& p_;
  std::map<int, std::string> cells_;
  std::map<int, std::string> chars_;
  int temps_ = 0;
  int texts_ = 0;
};

// A statement as the parser kept it, its line breaks and runs of blanks as one blank.
// (The syntax tree may since hold shared values the derivatives added.)
std::string one_line(const std::string& text) {
  std::string out;
  for (char ch : text) {
    const bool blank = ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : ch;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string flags_text(const CMPSYM& s) {
  return printf_text("%02X %02X %02X %02X", s.flags[0], s.flags[1], s.flags[2], s.flags[3]);
}

}  // namespace

std::string catalogue_text(int number) {
  if (!Host::exists()) return {};
  const Message* m = Host::current().messages().find(148, number);
  return m ? m->text : std::string();
}

void listing_line(const std::string& line) {
  if (Host::exists()) Host::current().print_file().write_unpaged(line);
}

void print_program(Compiler& c) {
  listing_line(catalogue_text(90));
  listing_line("");
  listing_line(catalogue_text(91));
  for (const auto& cs : c.statements)
    listing_line(printf_text("%4d  %4d:%-4d %s", cs->number, cs->ast->pos.line, cs->ast->pos.column,
                             one_line(cs->source).c_str()));
  listing_line("");
}

void print_code(Compiler& c, const Program& program, const std::string& title) {
  listing_line(title);
  listing_line("");
  CodeNames names(c, program);
  for (const StatementCode& sc : program.statements) {
    const CMPSTMT& cs = *c.statements[static_cast<std::size_t>(sc.statement)];
    listing_line(printf_text("Stmt %d, line %d: %s", cs.number, cs.ast->pos.line,
                             statement_text(*cs.ast).c_str()));
    for (int i = sc.begin; i < sc.end; ++i) {
      const Instr& in = program.code[static_cast<std::size_t>(i)];
      const char* kinds = operand_kinds(in.op);
      const int values[4] = {in.a, in.b, in.c, in.d};
      std::string operands;
      for (int k = 0; k < 4; ++k) {
        if (kinds[k] == '-') continue;
        if (!operands.empty()) operands += ", ";
        operands += names.operand(kinds[k], values[k]);
      }
      listing_line(printf_text("   %5d  %-10s %s", i, op_name(in.op), operands.c_str()));
    }
  }
  listing_line("");
}

void print_cross_reference(Compiler& c) {
  listing_line(catalogue_text(92));
  listing_line("");
  std::vector<const Symbol*> shown;
  for (std::size_t i = 0; i < c.symbols.size(); ++i) {
    const Symbol& s = c.symbols.at(i);
    if (!s.occurrences.empty() && !s.hidden) shown.push_back(&s);
  }
  std::sort(shown.begin(), shown.end(),
            [](const Symbol* a, const Symbol* b) { return a->key < b->key; });
  for (const Symbol* s : shown) {
    std::string line = printf_text("%-20s %-4s", s->name.c_str(), s->pub.type == '$' ? "Char" : "Num");
    for (const Occurrence& o : s->occurrences)
      line += printf_text(" %d:%d%s", o.line, o.column, o.assigned ? "*" : "");
    listing_line(line);
  }
  listing_line("");
}

void print_symbols(Compiler& c) {
  listing_line(catalogue_text(93));
  listing_line("");
  listing_line("  Id Name                 Kind Type Code Flags        Dsvar Length  Cell Init Deps");
  for (std::size_t i = 0; i < c.symbols.size(); ++i) {
    Symbol& s = c.symbols.at(i);
    const CMPSYM& p = s.pub;
    std::string deps;
    for (const CMPSYM* d : c.deps(s)) deps += std::string(deps.empty() ? "" : " ") + d->name;
    listing_line(printf_text("%4d %-20s %c    %c    %4d %s %5d %6d %5d %4d %s", p.id, s.name.c_str(),
                             p.kind, p.type == ' ' ? '?' : p.type, p.kindcode, flags_text(p).c_str(),
                             p.dsvarno, p.length, s.cell, p.ninit, deps.c_str()));
  }
  listing_line("");
}

}  // namespace platform::compiler
