// The report's temporary files: a run that made no output says so; with no
// temporary file to be had the page is built in memory, the same; a
// temporary file that cannot take the page fails the report, whole, with
// the reason. The limits run in a child process of their own.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/report/html_report.h"
#include "platform/report/report_spool.h"
#include "support/xml_check.h"

namespace {

using platform::report::HtmlReport;

// Forty BY groups of a 10 KB graph each.
void add_graphs(HtmlReport& report) {
  for (int by = 1; by <= 40; ++by) {
    platform::OutputItem item;
    item.step = 1, item.by_number = by, item.has_by = true, item.kind = "graph", item.name = "Fit";
    item.by = {{"g", platform::Cell::of_number(by), std::to_string(by)}};
    item.svg = "<svg><title>" + std::string(10'000, 'a' + by % 26) + "</title></svg>\n";
    report.add(item);
  }
}

TEST(ReportSpool, ARunWithoutOutputSaysSo) {
  const std::string page = HtmlReport().page("t");
  EXPECT_NE(page.find("<p class=\"note\">The run produced no output.</p>"), std::string::npos);
  const std::size_t body = page.find("<body>");
  EXPECT_EQ(xml_error(page.substr(body, page.find("</html>") - body)), "");
}

// The exit status of the child: 0 when the page built in memory, with no
// file to be opened, equals the page built through temporary files.
int build_in_memory() {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const rlimit none{0, files.rlim_max};
  setrlimit(RLIMIT_NOFILE, &none);
  HtmlReport in_memory;
  setrlimit(RLIMIT_NOFILE, &files);
  HtmlReport spooled;
  add_graphs(in_memory);
  add_graphs(spooled);
  return in_memory.page("t") == spooled.page("t") && in_memory.page("t").size() > 400'000 ? 0 : 1;
}

// 0 when a report whose temporary files stop growing at 100 KB is not
// written and leaves no file; the reason goes to the standard error.
int write_past_file_limit(const std::filesystem::path& file) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const rlimit size{100'000, before.rlim_max};
  setrlimit(RLIMIT_FSIZE, &size);
  HtmlReport report;
  add_graphs(report);
  std::string why;
  const bool written = report.write(file.string(), "t", &why);
  // The limit goes before the process ends, so that what a coverage build
  // writes at exit is not cut short.
  setrlimit(RLIMIT_FSIZE, &before);
  std::cerr << why;
  return !written && !std::filesystem::exists(file) ? 0 : 1;
}

TEST(ReportSpool, WithNoTemporaryFileThePageIsBuiltInMemoryTheSame) {
  EXPECT_EXIT(std::exit(build_in_memory()), ::testing::ExitedWithCode(0), "");
}

TEST(ReportSpool, ATemporaryFileThatCannotTakeThePageFailsTheReportWhole) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("ruva_report_spool_full_" + std::to_string(::getpid()) + ".html");
  EXPECT_EXIT(std::exit(write_past_file_limit(file)), ::testing::ExitedWithCode(0),
              "writing .*ruva_report_spool_full_[0-9]+\\.html failed: File too large");
}

// 0 when text still in the temporary file's buffer, which the file size
// limit refuses when it is flushed for reading, fails the read with the reason.
int read_past_file_limit() {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const rlimit size{1000, before.rlim_max};
  setrlimit(RLIMIT_FSIZE, &size);
  platform::report::Spool spool;
  spool.append(std::string(2000, 'x'));
  std::size_t delivered = 0;
  const bool read = spool.read(0, 2000, [&](const char*, std::size_t n) { delivered += n; });
  setrlimit(RLIMIT_FSIZE, &before);
  std::cerr << spool.error();
  return !read && delivered == 0 ? 0 : 1;
}

TEST(ReportSpool, ATemporaryFileThatCannotBeFlushedForReadingFailsTheRead) {
  EXPECT_EXIT(std::exit(read_past_file_limit()), ::testing::ExitedWithCode(0), "File too large");
}

}  // namespace
