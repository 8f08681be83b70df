#include "platform/compiler/run_messages.h"

#include <map>
#include <string>

#include "platform/host.h"

namespace platform::compiler {

void log_run_error(const RunErrorRecord& e, const Site& s) {
  if (!Host::exists()) return;
  Host& h = Host::current();
  switch (e.kind) {
    case RunError::DivideByZero: return h.log_message(148, 60, s.line, s.column);
    case RunError::Overflow: return h.log_message(148, 61, s.line, s.column);
    case RunError::FunctionArgument: return h.log_message(148, 62, s.name.c_str(), s.line, s.column);
    case RunError::OperatorArgument: return h.log_message(148, 63, s.name.c_str(), s.line, s.column);
    case RunError::Subscript: return h.log_message(148, 64, s.line, s.column);
    case RunError::DoLoop: return h.log_message(148, 65, s.line, s.column);
    case RunError::NoWhen: return h.log_message(148, 66, s.line, s.column);
    case RunError::InvalidNumber:
      return h.log_message(148, 67, e.detail.c_str(), s.line, s.column);
    case RunError::Abort: return h.log_message(148, 68, s.line, s.column);
    case RunError::LinkDepth: return h.log_message(148, 69, kLinkDepth, s.line, s.column);
    case RunError::LoopLimit: return h.log_message(148, 70, kLoopLimit, s.line, s.column);
  }
}

std::vector<std::string> count_places(const std::vector<Site>& sites,
                                      const std::vector<std::uint32_t>& counts, std::size_t width) {
  // Several operations may share a place; their counts add up.
  std::map<std::pair<int, int>, unsigned long> places;
  for (std::size_t i = 0; i < counts.size() && i < sites.size(); ++i)
    if (counts[i]) places[{sites[i].line, sites[i].column}] += counts[i];
  std::vector<std::string> lines;
  std::string line;
  for (const auto& [place, count] : places) {
    const std::string entry = std::to_string(count) + " at " + std::to_string(place.first) + ":" +
                              std::to_string(place.second);
    if (!line.empty() && line.size() + 4 + entry.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "      " : "    ") + entry;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace platform::compiler
