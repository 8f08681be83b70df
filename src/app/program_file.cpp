#include "app/program_file.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace app {
namespace {

struct Statement {
  std::size_t begin;  // first byte of the statement's first word
  std::size_t end;    // one past its semicolon (or the end of the text)
  int line;           // line of `begin`
  std::string first;  // first word, upper case
  std::string second; // second word, upper case
};

// Reads one word starting at `i` (letters, digits, underscores).
std::string word_at(const std::string& t, std::size_t i) {
  std::string w;
  while (i < t.size() && (std::isalnum(static_cast<unsigned char>(t[i])) || t[i] == '_'))
    w += static_cast<char>(std::toupper(static_cast<unsigned char>(t[i++])));
  return w;
}

// Scans statements, skipping /* */ comments and quoted strings, so that a
// semicolon inside either does not end a statement.
std::vector<Statement> scan(const std::string& t) {
  std::vector<Statement> out;
  std::size_t i = 0;
  int line = 1;
  auto advance = [&](std::size_t n) {
    for (std::size_t k = 0; k < n && i < t.size(); ++k, ++i)
      if (t[i] == '\n') ++line;
  };
  while (i < t.size()) {
    // Skip blanks and comments before a statement.
    if (std::isspace(static_cast<unsigned char>(t[i]))) { advance(1); continue; }
    if (t.compare(i, 2, "/*") == 0) {
      std::size_t close = t.find("*/", i + 2);
      advance(close == std::string::npos ? t.size() - i : close + 2 - i);
      continue;
    }
    Statement s{i, 0, line, word_at(t, i), {}};
    std::size_t after = i + s.first.size();
    while (after < t.size() && std::isspace(static_cast<unsigned char>(t[after]))) ++after;
    s.second = word_at(t, after);
    char quote = 0;
    while (i < t.size()) {
      char c = t[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (t.compare(i, 2, "/*") == 0) {
        std::size_t close = t.find("*/", i + 2);
        advance(close == std::string::npos ? t.size() - i : close + 2 - i);
        continue;
      } else if (c == ';') {
        advance(1);
        break;
      }
      advance(1);
    }
    s.end = i;
    out.push_back(s);
  }
  return out;
}

}  // namespace

SplitResult split_program(const std::string& text, const std::string& file) {
  SplitResult result;
  std::vector<Statement> statements = scan(text);
  platform::StepSource* open = nullptr;
  std::size_t open_begin = 0;
  auto close = [&](std::size_t end) {
    if (open) open->text = text.substr(open_begin, end - open_begin);
    open = nullptr;
  };
  for (const Statement& s : statements) {
    const bool is_proc = s.first == "PROC" || s.first == "PROCEDURE";
    if (is_proc) {
      close(s.begin);
      if (s.second == "RUVA") {
        result.steps.push_back({{}, s.line, file});
        open = &result.steps.back();
        open_begin = s.begin;
      } else {
        result.stray_lines.push_back(s.line);
      }
      continue;
    }
    if (s.first == "RUN" || s.first == "QUIT") {
      if (open) close(s.begin);
      continue;
    }
    if (!open && !(s.first.empty() && text[s.begin] == '*')) {
      // A comment statement (* ... ;) outside a step is not stray text.
      if (text[s.begin] != '*') result.stray_lines.push_back(s.line);
    }
  }
  close(text.size());
  return result;
}

bool read_program_file(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // Read through iterators, not a string stream, which would keep a failed
  // allocation to itself and hand back part of the program.
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

const std::string* ProgramTexts::text(const std::string& file) {
  auto [at, added] = texts_.try_emplace(file);
  if (added) {
    std::string text;
    if (read_program_file(file, &text)) at->second = std::move(text);
  }
  return at->second ? &*at->second : nullptr;
}

}  // namespace app
