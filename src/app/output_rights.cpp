#include "app/output_rights.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/output_guard.h"
#include "platform/datasets/link_chain.h"
#include "platform/datasets/replace_rights.h"
#include "platform/datasets/whole_file.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgCannotWriteWhy = 238;

std::string refused(const std::string& what, const std::string& why) {
  return platform::message_text(1, kMsgCannotWriteWhy, what.c_str(), why.c_str());
}

std::string not_replaced(const fs::path& file, const std::string& refusal) {
  return refusal.empty() ? refusal : "the file " + file.string() + " may not be replaced: " + refusal;
}

bool is_graphs_folder(const fs::path& file, const std::string& graphs) {
  return !graphs.empty() && same_file(file, graphs);
}

// Why a new file cannot be made in `folder`, which the run does not make
// (effective ids, as the open will be checked with); empty when it can be
// or `file` exists.
std::string unmakeable(const fs::path& file, const fs::path& folder) {
  struct stat st;
  if (::lstat(file.c_str(), &st) == 0 || ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return {};
  return "no file can be created in the folder " + folder.string() + ": " + std::strerror(errno);
}

// Why the file or description `name` of a data set cannot be written,
// found before the first step rather than once the step writes it: a link
// on the way that is not followed; a folder where the name leads, which
// takes no file, even the one the run makes (--graphs); no folder to hold
// the file there, unless the run makes it, or one that takes no new file;
// a file this user may not replace. A device or a stream is written in
// place (in_place_data_sets.h).
std::string data_set_refusal(const fs::path& name, const std::string& graphs) {
  if (std::string refusal = platform::ds::planted_link_refusal(name); !refusal.empty()) return refusal;
  const fs::path file = platform::ds::followed_link(name);
  std::error_code ec;
  if (fs::is_directory(file, ec)) return not_replaced(file, "it is a folder");
  if (platform::ds::written_in_place(name)) return {};
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec) && !is_graphs_folder(folder, graphs))
    return "the file " + file.string() + " cannot be made: there is no folder " + folder.string();
  if (is_graphs_folder(file, graphs)) return not_replaced(file, "it is the folder --graphs " + graphs + ", which the run makes");
  // The graphs folder is checked once the run has made it (output_files.h).
  if (!is_graphs_folder(folder, graphs)) {
    if (std::string refusal = unmakeable(file, folder); !refusal.empty()) return refusal;
  }
  return not_replaced(file, platform::ds::replace_refusal(file));
}

std::string unreplaceable_data_set(const CommandLine& cmd, ProgramTexts& programs) {
  for (const DataSetFile& f : data_set_files(cmd, programs)) {
    if (!f.written) continue;
    if (const std::string why = data_set_refusal(f.path, cmd.graphs); !why.empty())
      return refused("data set " + f.name, why);
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
      return refused("graphs", not_replaced(file, refusal));
  }
  return {};
}

}  // namespace

std::string unreplaceable_output(const CommandLine& cmd, ProgramTexts& programs) {
  if (std::string message = unreplaceable_data_set(cmd, programs); !message.empty()) return message;
  return unreplaceable_graph(cmd.graphs);
}

}  // namespace app
