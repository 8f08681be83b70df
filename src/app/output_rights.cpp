#include "app/output_rights.h"

#include <filesystem>
#include <system_error>

#include "app/output_guard.h"
#include "platform/datasets/replace_rights.h"
#include "platform/datasets/whole_file.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgCannotWriteWhy = 238;

std::string refused(const std::string& what, const fs::path& file, const std::string& refusal) {
  const std::string why = "the file " + file.string() + " may not be replaced: " + refusal;
  return platform::message_text(1, kMsgCannotWriteWhy, what.c_str(), why.c_str());
}

// A folder at a data set's name, or where a link at it leads, would take
// no file: the step would fail only once it writes.
std::string data_set_refusal(const fs::path& file) {
  std::error_code ec;
  return fs::is_directory(file, ec) ? "it is a folder" : platform::ds::replace_refusal(file);
}

std::string unreplaceable_data_set(const CommandLine& cmd, ProgramTexts& programs) {
  for (const DataSetFile& f : data_set_files(cmd, programs)) {
    if (!f.written) continue;
    const fs::path file = platform::ds::followed_link(f.path);
    if (const std::string refusal = data_set_refusal(file); !refusal.empty())
      return refused("data set " + f.name, file, refusal);
  }
  return {};
}

std::string unreplaceable_graph(const std::string& graphs) {
  std::error_code ec;
  if (graphs.empty() || !fs::is_directory(graphs, ec)) return {};
  for (fs::directory_iterator it(graphs, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (!graph_file_name(file, graphs)) continue;
    if (const std::string refusal = platform::ds::replace_refusal(file); !refusal.empty())
      return refused("graphs", file, refusal);
  }
  return {};
}

}  // namespace

std::string unreplaceable_output(const CommandLine& cmd, ProgramTexts& programs) {
  if (std::string message = unreplaceable_data_set(cmd, programs); !message.empty()) return message;
  return unreplaceable_graph(cmd.graphs);
}

}  // namespace app
