// The print file of a step: the listing stream, its pages and the line
// records the module builds its lines in (output, print, log and message
// lines). Every line goes out through `write_line`, which starts pages,
// repeats the page header (titles and BY line) and counts the lines left.
// A page break is a form feed at the start of the page's first line.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/listing_line.h"

namespace platform {

class SystemOptions;

class PrintFile {
 public:
  // `pages` counts the pages of the listing across steps; null for none.
  PrintFile(std::ostream& listing, const SystemOptions& options, int* pages = nullptr);
  PrintFile(const PrintFile&) = delete;
  PrintFile& operator=(const PrintFile&) = delete;

  enum Line { Output, Print, LogLine, MessageLine, kLines };
  LINESTR* line(Line which) { return &lines_[which]; }
  LINESTR* output() { return &lines_[Output]; }
  std::ostream& listing() { return *listing_; }
  const SystemOptions& options() const { return *options_; }
  int linesize() const { return linesize_; }
  int pagesize() const { return pagesize_; }
  bool centring() const { return center_; }
  // The underline character: the second character of FORMCHAR.
  char rule_character() const;

  // Ends the pending line of `l` when anything was put into it: writes it
  // at its margin (centred when `autocent` and `center` are on), then
  // clears the buffer and its column. Returns true when a line was written.
  bool end_line(LINESTR* l);
  // Writes one line at the 1-based `margin`, cut at the line size (in
  // columns, as display_width counts them). Here,
  // in the page header and in write_unpaged, and nowhere else, the listing
  // gets its bytes: each place shows the text as visible_text does.
  void write_line(std::string_view text, int margin = 1);
  // Writes text and a line end outside the pages (the program as compiled,
  // a step as parsed): no header, no line count, no cut at the line size.
  void write_unpaged(std::string_view text);
  void blank_lines(int n);
  // The next line starts a new page (nothing happens on an empty page).
  void new_page();
  // Starts a new page when fewer than `n` lines are left on this one.
  void keep_together(int n);
  // Whether the next line is the first below a page's header.
  bool at_page_top() const { return !page_open_ || body_lines_ == 0; }
  int lines_left() const;
  // The lines a new page holds below its header.
  int page_lines() const { return std::max(pagesize_ - header_lines(), 1); }
  // The 1-based margin that centres a block of `length` columns.
  int centred_margin(int length) const;

  // Lines printed at the top of every page, before the first body line.
  using Header = std::function<std::vector<std::string>()>;
  void set_header(Header header) { header_ = std::move(header); }

  // Where printing goes: 0 the listing, otherwise as selected by `xpselec`.
  int destination = 0;
  bool open = false;

 private:
  static constexpr int kLineCapacity = 512;
  void start_page();
  void sync_left();
  int header_lines() const;

  std::ostream* listing_;
  const SystemOptions* options_;
  int* pages_;
  int own_pages_ = 0;
  int linesize_, pagesize_;
  bool center_;
  bool page_open_ = false;  // a page has started and takes lines
  int left_ = 0;            // lines left on the open page
  int body_lines_ = 0;      // lines below the header on the open page
  Header header_;
  std::array<LINESTR, kLines> lines_{};
  std::array<std::array<char, kLineCapacity>, kLines> buffers_{};
};

}  // namespace platform
