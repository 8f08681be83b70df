#include "platform/print_file.h"

#include "platform/options.h"

namespace platform {

PrintFile::PrintFile(std::ostream& listing, const SystemOptions& options)
    : listing_(&listing), options_(&options) {
  const int linesize = options.integer("LINESIZE");
  const int pagesize = options.integer("PAGESIZE");
  const bool center = options.flag("CENTER").value_or(true);
  for (int i = 0; i < kLines; ++i) {
    LINESTR& l = lines_[i];
    l.linesize = linesize;
    l.pagesize = pagesize;
    l.left = pagesize;
    l.lmargin = 1;
    l.colnum = 1;
    l.center = center;
    l.autocent = center;
    l.type = 'd';
    l.out = buffers_[i].data();
    l.capacity = kLineCapacity;
    l.owner = this;
  }
}

}  // namespace platform
