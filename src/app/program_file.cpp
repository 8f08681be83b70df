#include "app/program_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>

#include "platform/datasets/input_open.h"
#include "platform/datasets/resolved_path.h"
#include "platform/listing/message_catalog.h"

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

// Read with read(2), which reports a failed read (EIO, EISDIR) instead of
// ending the file there or throwing; a failed allocation still throws.
// Reached as the outputs are (resolved_path.h): a link another user
// planted on the way is not followed, and `refusal` says so, as it says
// that a named pipe has no writer (input_open.h).
bool read_program_file(const std::string& path, std::string* text, std::string* refusal) {
  const platform::ds::ResolvedPath found = platform::ds::resolve_path(path);
  *refusal = found.refusal;
  std::string why;
  const int fd = found.ok() ? platform::ds::open_for_reading(found, &why) : -1;
  if (fd < 0 && why == platform::ds::kNoWriter) *refusal = why;
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n > 0) text->append(buffer, static_cast<std::size_t>(n));
    else if (errno != EINTR) return false;
  }
}

std::string ProgramTexts::read_all(const std::vector<std::string>& files) {
  constexpr int kMsgCannotRead = 1, kMsgProgramIsFolder = 90, kMsgCannotReadWhy = 91;
  for (const std::string& file : files) {
    if (text(file)) continue;
    if (const auto refused = refusals_.find(file); refused != refusals_.end())
      return platform::message_text(1, kMsgCannotReadWhy, file.c_str(), refused->second.c_str());
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(file, ec);
    return platform::message_text(1, folder ? kMsgProgramIsFolder : kMsgCannotRead, file.c_str());
  }
  return {};
}

const std::string* ProgramTexts::text(const std::string& file) {
  auto [at, added] = texts_.try_emplace(file);
  if (added) {
    std::string text, refusal;
    if (read_program_file(file, &text, &refusal)) {
      // The UTF-8 byte-order mark some editors begin a file with is no
      // part of the program, as it is no part of a data set.
      if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
      at->second = std::move(text);
    } else if (!refusal.empty()) refusals_[file] = std::move(refusal);
  }
  return at->second ? &*at->second : nullptr;
}

}  // namespace app
