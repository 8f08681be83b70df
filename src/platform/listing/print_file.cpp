#include "platform/listing/print_file.h"

#include <algorithm>
#include <cstring>

#include "platform/listing/visible_text.h"
#include "platform/options.h"

namespace platform {

PrintFile::PrintFile(std::ostream& listing, const SystemOptions& options, int* pages)
    : listing_(&listing), options_(&options), pages_(pages ? pages : &own_pages_) {
  linesize_ = options.integer("LINESIZE");
  pagesize_ = options.integer("PAGESIZE");
  center_ = options.flag("CENTER").value_or(true);
  for (int i = 0; i < kLines; ++i) {
    LINESTR& l = lines_[i];
    l.linesize = linesize_;
    l.pagesize = pagesize_;
    l.lmargin = 1;
    l.colnum = 0;
    l.center = center_;
    l.autocent = 0;
    l.type = 'd';
    l.out = buffers_[i].data();
    l.capacity = kLineCapacity;
    l.owner = this;
    buffers_[i].fill(' ');
  }
  sync_left();
}

char PrintFile::rule_character() const {
  const std::string* chars = options_->text("FORMCHAR");
  return chars && chars->size() >= 2 ? (*chars)[1] : '-';
}

int PrintFile::centred_margin(int length) const {
  if (!center_ || linesize_ - length < 0) return 1;
  return (linesize_ - length) / 2 + 1;
}

bool PrintFile::end_line(LINESTR* l) {
  const int last = std::min(l->capacity - 1, linesize_);
  int length = 0;
  for (int c = last; c >= 1; --c)
    if (l->out[c] != ' ') {
      length = c;
      break;
    }
  const bool pending = length > 0 || l->colnum > 0;
  if (pending) {
    std::string_view text(l->out + 1, static_cast<std::size_t>(length));
    int margin = l->lmargin;
    if (l->autocent && l->center) margin = centred_margin(static_cast<int>(display_width(text))) + l->cindent;
    write_line(text, margin);
  }
  std::memset(l->out, ' ', static_cast<std::size_t>(l->capacity));
  l->colnum = 0;
  return pending;
}

void PrintFile::write_line(std::string_view text, int margin) {
  if (!page_open_ || left_ <= 0) start_page();
  margin = std::clamp(margin, 1, std::max(1, linesize_));
  const std::size_t room = static_cast<std::size_t>(linesize_ - (margin - 1));
  std::string_view shown = text.substr(0, std::min(text.size(), room));
  std::string escaped;
  if (!plain_text(shown)) shown = escaped = visible_text(fit_width(text, room));
  while (!shown.empty() && shown.back() == ' ') shown.remove_suffix(1);
  if (!shown.empty()) *listing_ << std::string(static_cast<std::size_t>(margin - 1), ' ') << shown;
  *listing_ << '\n';
  --left_;
  ++body_lines_;
  sync_left();
}

void PrintFile::write_unpaged(std::string_view text) { *listing_ << visible_text(text) << '\n'; }

void PrintFile::blank_lines(int n) {
  for (int i = 0; i < n; ++i) write_line("");
}

void PrintFile::new_page() {
  if (page_open_ && body_lines_ > 0) page_open_ = false;
  sync_left();
}

void PrintFile::keep_together(int n) {
  if (page_open_ && body_lines_ > 0 && left_ < n) new_page();
}

int PrintFile::lines_left() const { return page_open_ ? left_ : pagesize_ - header_lines(); }

int PrintFile::header_lines() const { return header_ ? static_cast<int>(header_().size()) : 0; }

void PrintFile::start_page() {
  if (*pages_ > 0) *listing_ << '\f';
  ++*pages_;
  page_open_ = true;
  left_ = pagesize_;
  body_lines_ = 0;
  if (header_)
    for (const std::string& h : header_()) {
      *listing_ << visible_text(fit_width(h, static_cast<std::size_t>(linesize_))) << '\n';
      --left_;
    }
  // A header taller than the page still leaves room for one body line.
  left_ = std::max(left_, 1);
}

void PrintFile::sync_left() {
  const int left = lines_left();
  for (LINESTR& l : lines_) l.left = left;
}

}  // namespace platform
