#include "app/output_rights.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/output_guard.h"
#include "platform/datasets/input_open.h"
#include "platform/datasets/replace_rights.h"
#include "platform/datasets/resolved_path.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgCannotReadFrom = 200;
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

// Why no new file can be made in the folder where the look `found` ended,
// which the run does not make (effective ids, as the open will be checked
// with); empty when one can be, or the file exists.
std::string unmakeable(const platform::ds::ResolvedPath& found) {
  if (found.exists || ::faccessat(found.folder.get(), ".", W_OK | X_OK, AT_EACCESS) == 0) return {};
  return "no file can be created in the folder " + found.shown_folder() + ": " + std::strerror(errno);
}

// Why the file or description of a data set, as the look `found` saw it,
// cannot be written, found before the first step rather than once the
// step writes it: a link on the way that is not followed; a folder where
// the name leads, which takes no file, even the one the run makes
// (--graphs); no folder to hold the file there, unless the run makes it,
// or one that takes no new file; a new file among the system's devices
// (/dev); a file this user may not replace. A device or a stream is
// written in place (in_place_data_sets.h).
std::string data_set_refusal(const platform::ds::ResolvedPath& found, const std::string& graphs) {
  if (!found.refusal.empty()) return found.refusal;
  const fs::path file = found.shown();
  if (found.ok() && found.exists && S_ISDIR(found.status.st_mode)) return not_replaced(file, "it is a folder");
  if (found.ok() && found.in_place()) return {};
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  // Before the folder's check: g/. stops short of g, which the run makes.
  if (is_graphs_folder(file, graphs)) return not_replaced(file, "it is the folder --graphs " + graphs + ", which the run makes");
  if (!found.ok() && !is_graphs_folder(folder, graphs))
    return "the file " + file.string() + " cannot be made: " +
           (found.error == ENOENT ? "there is no folder " + folder.string() : found.failure());
  if (found.ok() && platform::ds::holds_devices(found))
    return "the file " + file.string() + " cannot be made: the folder " + folder.string() +
           " holds the system's devices or processes";
  // The graphs folder is checked once the run has made it (output_files.h).
  if (!is_graphs_folder(folder, graphs)) {
    if (std::string refusal = unmakeable(found); !refusal.empty()) return refusal;
  }
  return not_replaced(file, platform::ds::replace_refusal(found));
}

std::string unreplaceable_data_set(const CommandLine& cmd, ProgramTexts& programs,
                                   std::vector<InPlaceDataSet>* in_place) {
  for (const DataSetFile& f : data_set_files(cmd, programs)) {
    if (!f.written) continue;
    platform::ds::ResolvedPath found = platform::ds::resolve_path(f.path);
    if (const std::string why = data_set_refusal(found, cmd.graphs); !why.empty())
      return refused("data set " + f.name, why);
    if (found.ok() && found.in_place()) in_place->push_back({f.name, std::move(found)});
  }
  return {};
}

std::string unreplaceable_graph(const std::string& graphs) {
  std::error_code ec;
  if (graphs.empty() || !fs::is_directory(graphs, ec)) return {};
  for (fs::directory_iterator it(graphs, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (!graph_file_name(file, graphs)) continue;
    const platform::ds::ResolvedPath found = platform::ds::resolve_path(file, platform::ds::AtLink::Replace);
    if (!found.refusal.empty()) return refused("graphs", found.refusal);
    if (const std::string refusal = platform::ds::replace_refusal(found); !refusal.empty())
      return refused("graphs", not_replaced(file, refusal));
  }
  return {};
}

}  // namespace

std::string unreplaceable_output(const CommandLine& cmd, ProgramTexts& programs,
                                 std::vector<InPlaceDataSet>* in_place) {
  if (std::string message = unreplaceable_data_set(cmd, programs, in_place); !message.empty()) return message;
  return unreplaceable_graph(cmd.graphs);
}

std::string unreadable_pipe(const CommandLine& cmd, ProgramTexts& programs, std::vector<int>* held) {
  for (const DataSetFile& f : data_set_files(cmd, programs)) {
    if (f.written) continue;
    const platform::ds::ResolvedPath found = platform::ds::resolve_path(f.path);
    if (!found.ok() || !found.exists || !S_ISFIFO(found.status.st_mode)) continue;
    std::string why;
    const int fd = platform::ds::open_for_reading(found, &why);
    if (fd >= 0) held->push_back(fd);
    else if (why == platform::ds::kNoWriter)
      return platform::message_text(1, kMsgCannotReadFrom, f.name.c_str(), f.path.c_str(), why.c_str());
  }
  return {};
}

}  // namespace app
