#include "app/in_place_data_sets.h"

#include <sys/stat.h>

#include "platform/listing/message_catalog.h"

namespace app {
namespace {

constexpr int kMsgCannotWriteWhy = 238;

}  // namespace

std::string InPlaceDataSets::check(std::vector<InPlaceDataSet> data_sets) {
  for (InPlaceDataSet& d : data_sets) {
    const bool pipe = S_ISFIFO(d.found.status.st_mode);
    auto trial = std::make_unique<platform::ds::WholeFile>();
    if (std::string why; !trial->open(std::move(d.found), &why))
      return platform::message_text(1, kMsgCannotWriteWhy, ("data set " + d.name).c_str(), why.c_str());
    if (pipe) held_pipes_.push_back(std::move(trial));
  }
  return {};
}

}  // namespace app
