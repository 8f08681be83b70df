// Vector 40: the statement tokens the parse callback reads.
#include <algorithm>
#include <cstring>

#include "platform/parse_session.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

TOKEN* xttkcur() {
  ParsedStep* step = active_parse();
  return step ? &step->tokens[step->current] : nullptr;
}

// The token after `current`; the end-of-step token stays where it is.
TOKEN* xttkpk(TOKEN* current, int /*ingrammar*/) {
  ParsedStep* step = active_parse();
  if (!step || !current) return nullptr;
  const std::size_t next = std::min(static_cast<std::size_t>(current->index) + 1, step->tokens.size() - 1);
  return &step->tokens[next];
}

// The current statement's labels, "a" or "a: b" for two.
int xttklab(TKLABEL* label) {
  ParsedStep* step = active_parse();
  if (!label) return 0;
  label->length = 0;
  if (!step || !step->parsing) return 0;
  std::string text;
  for (const std::string& l : step->parsing->segments[step->segment].labels)
    text += (text.empty() ? "" : ": ") + l;
  const std::size_t n = std::min(text.size(), sizeof label->text);
  std::memcpy(label->text, text.data(), n);
  label->length = static_cast<std::int16_t>(n);
  return label->length;
}

}  // namespace platform::svc
