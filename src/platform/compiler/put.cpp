// PUT: one line on the log per statement run, items separated by a blank.
#include "platform/compiler/executor.h"
#include "platform/compiler/value_format.h"
#include "platform/host.h"

namespace platform::compiler {
namespace {

std::string value_text(const Executor& e, bool character, int operand, const std::string& format) {
  if (character) return format_chars(e.slot_text(operand), format);
  return format_number(e.cells()[operand], format);
}

}  // namespace

void Executor::put(int index) {
  std::string line;
  auto add = [&line](const std::string& text) {
    if (!line.empty()) line += ' ';
    line += text;
  };
  for (const PutItem& item : program_->puts[static_cast<std::size_t>(index)]) {
    switch (item.kind) {
      case PutItem::Value:
        add(value_text(*this, item.character, item.operand, item.format));
        break;
      case PutItem::NamedValue:
        add(item.text + "=" + value_text(*this, item.character, item.operand, item.format));
        break;
      case PutItem::Text:
        add(item.text);
        break;
      case PutItem::All:
        for (const VariableView& v : program_->variables)
          add(v.name + "=" + value_text(*this, v.character, v.operand, ""));
        break;
    }
  }
  if (Host::exists()) Host::current().log().line(line);
}

}  // namespace platform::compiler
