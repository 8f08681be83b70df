#include "platform/graphs/graph_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <cmath>
#include <regex>

#include "host/missing.h"
#include "host/parse_print_record.h"

namespace fs = std::filesystem;

namespace {
std::function<void()> g_body;

fs::path scratch_folder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // A parameterised test's names hold a '/', which must not make a subfolder.
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return fs::temp_directory_path() / ("ruva_graphs_" + std::to_string(::getpid()) + "_" + name);
}
}  // namespace

GraphTest::GraphTest(platform::report::ReportSettings report, bool files)
    : dir_(scratch_folder()),
      report_(std::move(report)),
      host_({&log_, &listing_, nullptr, platform::GraphSettings{files ? scratch_folder().string() : "", &report_}}) {
  fs::create_directories(dir_);
}

GraphTest::~GraphTest() { fs::remove_all(dir_); }

int GraphTest::run(std::function<void()> body) {
  g_body = std::move(body);
  return host_.run_step_with([] {
    xinit();
    g_body();
  });
}

std::string GraphTest::svg(const std::string& stem) const {
  std::ifstream in(dir_ / (stem + ".svg"));
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

wobop graph_manager() {
  static WOB_OBJ_STR root;
  xobinit(&root);
  WOB_PARM_BLK_STR pb[3] = {wob_chars(143, "yol", 3), wob_chars(146, "manager", 7), wob_object(144, nullptr)};
  return wobmth(&root, nullptr, 147, 3, pb) == 0 ? pb[2].d.op : nullptr;
}

wobop open_estimates_table(wobop manager, double cells[2]) {
  WOB_PARM_BLK_STR make[5] = {wob_chars(143, "yol", 3), wob_chars(146, "data", 4), wob_object(144, nullptr),
                              wob_int(148, -1), wob_text(138, yoltxt("BootstrapOutputStatistics", -1))};
  wobmth(manager, nullptr, 147, 5, make);
  wobop table = make[2].d.op;
  for (int c = 0; c < 2; ++c) {
    const char* name = c ? "ParameterValue2" : "ParameterValue1";
    WOB_PARM_BLK_STR column[3] = {wob_int(103, 5), wob_text(138, yoltxt(name, -1)), wob_cell(285, &cells[c])};
    wobmth(table, nullptr, 338, 3, column);
  }
  wobmth(table, nullptr, 298, 0, nullptr);
  return table;
}

xobskey emit_table(wobop manager, const std::string& name, const std::string& templ,
                   const std::vector<std::string>& columns, const std::vector<std::vector<double>>& rows,
                   bool graph_data) {
  WOB_PARM_BLK_STR make[6] = {wob_chars(143, "yol", 3), wob_chars(146, "data", 4), wob_object(144, nullptr),
                              wob_int(148, -1), wob_text(296, yoltxt(name.c_str(), -1)),
                              wob_text(138, yoltxt(name.c_str(), -1))};
  wobmth(manager, nullptr, 147, 6, make);
  wobop table = make[2].d.op;
  std::vector<double> cells(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    WOB_PARM_BLK_STR column[4] = {wob_int(103, 5), wob_text(138, yoltxt(columns[c].c_str(), -1)),
                                  wob_cell(285, &cells[c]), wob_text(296, yoltxt(columns[c].c_str(), -1))};
    wobmth(table, nullptr, 338, 4, column);
  }
  wobmth(table, nullptr, 298, 0, nullptr);
  xobskey key = nullptr;
  WOB_PARM_BLK_STR open[5] = {wob_object(0, nullptr), wob_object(504, table), wob_flag(2640, graph_data ? 1 : 0),
                              wob_text(339, yoltxt(templ.c_str(), -1)), wob_key_slot(784, &key)};
  wobmth(manager, nullptr, 422, 5, open);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < cells.size(); ++c) cells[c] = c < row.size() && !std::isnan(row[c]) ? row[c] : missing_value();
    wobmth(table, nullptr, 329, 0, nullptr);
  }
  wobmth(table, nullptr, 299, 0, nullptr);
  WOB_PARM_BLK_STR release[1] = {wob_object(0, open[0].d.op)};
  wobmth(manager, nullptr, 428, 1, release);
  return key;
}

int request_graph(wobop manager, const std::string& name, const std::string& templ,
                  const std::vector<xobskey>& path, const std::vector<Dynamic>& dynamic) {
  static std::vector<xobskey> keys;
  keys = path;
  std::vector<WOB_PARM_BLK_STR> pb = {wob_text(138, yoltxt(name.c_str(), -1)), wob_text(339, yoltxt(templ.c_str(), -1)),
                                      wob_text(296, yoltxt(name.c_str(), -1)),
                                      wob_path(2829, keys.data(), static_cast<long>(keys.size()))};
  for (const Dynamic& d : dynamic) {
    pb.push_back(wob_text(311, yoltxt(d.name.c_str(), -1)));
    if (const auto* s = std::get_if<std::string>(&d.value)) pb.push_back(wob_text(287, yoltxt(s->c_str(), -1)));
    else if (const auto* v = std::get_if<double>(&d.value)) pb.push_back(wob_double(287, *v));
    else pb.push_back(wob_int(287, std::get<int>(d.value)));
  }
  return wobmth(manager, nullptr, 2826, static_cast<std::int32_t>(pb.size()), pb.data());
}

