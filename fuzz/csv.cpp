// Loads the input as a data set file: the bytes before the first NUL are
// the CSV file, those after it (when there is one) its description. A file
// that loads is written out again with its description and loaded back; the
// two loads must agree.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>

#include "fuzz_support.h"
#include "platform/datasets/csv_writer.h"
#include "platform/datasets/sidecar.h"
#include "platform/datasets/table_loader.h"
#include "platform/host.h"

namespace {

namespace fs = std::filesystem;
using platform::ds::Table;

// A cell read back must hold the same bytes, except that a negative zero is
// written (and so read back) as 0.
bool same_cell(const platform::ds::Variable& v, const unsigned char* x, const unsigned char* y) {
  if (v.type == platform::ds::VarType::Numeric) {
    double p, q;
    std::memcpy(&p, x + v.offset, sizeof p);
    std::memcpy(&q, y + v.offset, sizeof q);
    if (p == 0 && q == 0) return true;
  }
  return std::memcmp(x + v.offset, y + v.offset, static_cast<std::size_t>(v.length)) == 0;
}

void check_same(const Table& a, const Table& b) {
  bool same = a.rows == b.rows && a.record_length == b.record_length && a.type == b.type &&
              a.label == b.label && a.variables.size() == b.variables.size();
  for (std::size_t i = 0; same && i < a.variables.size(); ++i) {
    const auto &x = a.variables[i], &y = b.variables[i];
    same = x.name == y.name && x.type == y.type && x.length == y.length && x.label == y.label &&
           x.offset == y.offset;
    for (std::int64_t row = 0; same && row < a.rows; ++row)
      same = same_cell(x, a.record(row), b.record(row));
  }
  if (!same) {
    std::fprintf(stderr, "the data set read back differs from the one written\n");
    abort();
  }
}

// Writes the table out as the output data sets are written; false when it cannot be.
bool write_back(const Table& table, const fs::path& file) {
  platform::ds::CsvWriter writer;
  std::string why;
  if (!writer.open(file, table.variables, &why)) return false;
  for (std::int64_t row = 0; row < table.rows; ++row)
    if (!writer.write_row(table.variables, table.record(row), &why)) return false;
  return writer.complete(platform::ds::sidecar_text(table.variables, table.type, table.label), &why) &&
         writer.publish(&why);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const fs::path& dir = fuzz_support::scratch_dir();
  const fs::path csv = dir / "in.csv", meta = dir / "in.meta.json", copy = dir / "copy.csv";
  std::error_code ec;
  fs::remove(meta, ec);
  fuzz_support::write_file(csv, input.substr(0, nul));
  if (nul != std::string_view::npos) fuzz_support::write_file(meta, input.substr(nul + 1));

  std::ostringstream log, listing;
  {
    platform::Host host({&log, &listing, nullptr});
    platform::ds::Problem problem;
    auto table = platform::ds::load_table("WORK.IN", csv, &problem);
    if (!table) {
      platform::ds::log_problem(problem);
    } else if (write_back(*table, copy)) {
      auto again = platform::ds::load_table("WORK.IN", copy, &problem);
      if (!again) {
        platform::ds::log_problem(problem);
        std::fprintf(stderr, "%s\nthe data set written cannot be read back\n", log.str().c_str());
        abort();
      }
      check_same(*table, *again);
    }
  }
  fuzz_support::fail_on_internal_error(log.str(), input);
  return 0;
}
