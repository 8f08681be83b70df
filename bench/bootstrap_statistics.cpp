// The statistics of a bootstrap run through the table and statistics
// extensions: B sample records of two parameters (p + 3 = 5 doubles) on a
// record file that keeps 1 MB in memory, as the bootstrap keeps them, then
// per iteration the descriptive pass and six percentile levels. The
// counter peak_rss_growth_kB is the growth of the process's peak resident
// memory over the benchmark. Target: it stays below 2 MB at B = 1,000,000,
// where holding the samples would take 40 MB, and the statistics of a
// million samples take under a second.
#include <sys/resource.h>

#include <random>
#include <vector>

#include "bench_host.h"
#include "host/ext_column_statistics_qxbstat.h"
#include "host/ext_refit_engine_qxprof.h"
#include "host/ext_tables_qxtab.h"
#include "platform/kernel/kernel_library.h"

namespace {

long peak_rss_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

template <class T>
T* load(const char* name) {
  return static_cast<T*>(platform::create_extension(name));
}

void BM_BootstrapStatistics(benchmark::State& state) {
  const long before = peak_rss_kb();
  const std::int64_t rows = state.range(0);
  auto* rec_ext = load<QXREC_EXTENSION>("qxrec");
  auto* tab_ext = load<QXTAB_EXTENSION>("qxtab");
  auto* st_ext = load<QXBSTAT_EXTENSION>("qxbstat");
  QXREC_INSTANCE* rec = rec_ext->create_instance(rec_ext, nullptr);
  const QXREC_PARMS rp{40, rows, 1, nullptr, 0, 1 << 20};
  QXREC_FILE* file = rec->FactoryPtr->MakeFile(rec, &rp);
  std::mt19937_64 gen(1);
  std::normal_distribution<double> z;
  for (std::int64_t r = 0; r < rows; ++r) {
    const double record[5] = {static_cast<double>(r + 1), 11, 1200 + z(gen), 212 + 6 * z(gen), 0.064 + 0.008 * z(gen)};
    rec->FactoryPtr->AddRecord(rec, file, record);
  }
  const QXTAB_PARMS tp{0, nullptr, QXTAB_ACTION_DELETE, nullptr, 0};
  QXTAB_INSTANCE* tab = tab_ext->create_instance(tab_ext, nullptr, &tp);
  static constexpr QXChar kName[] = {'c'};
  const QXTAB_TABLE_PARMS parms{QXTAB_ROW_BUF, kName, 1, nullptr, 0, 0, 0, false, QXTAB_ACTION_DELETE, nullptr};
  QXTAB_TABLE* table = tab->FactoryPtr->NewTable(tab, &parms, nullptr);
  const QXTAB_COL_PARMS cp{kName, 1, QXTAB_COL_DBL, 8, nullptr, 0};
  for (int k = 0; k < 5; ++k) {
    table->ops->NewColumn(table, &cp, nullptr);
    table->ops->SetUserFlags(table, k, QXTAB_UFLAG_EXCLUDE, k < 3);
  }
  table->ops->AttachFile(table, file);
  const QXBSTAT_PARMS bp{1, 1, table, nullptr};
  QXBSTAT_INSTANCE* st = st_ext->create_instance(st_ext, nullptr, &bp);
  const std::vector<double> levels = {0.02, 0.97, 0.03, 0.98, 0.025, 0.975};
  const double alpha = 0.05;
  const QXBSTAT_INTERVAL_PARMS ip{QXBSTAT_INT_PERC | QXBSTAT_INT_EQTAIL, QXBSTAT_PERC_DEF5, 6, levels.data(), 1, &alpha};
  for (auto _ : state)
    if (st->FactoryPtr->Descriptive(st) != 0 || st->FactoryPtr->PercIntervals(st, &ip) != 0)
      state.SkipWithError("the statistics failed");
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["peak_rss_growth_kB"] = static_cast<double>(peak_rss_kb() - before);
  st->FactoryPtr->DestroyInstance(&st);
  tab->gen.destroy(tab);
  rec->gen.destroy(rec);
  for (QXGeneric* g : {&rec_ext->gen, &tab_ext->gen, &st_ext->gen}) g->destroy(g);
}
BENCHMARK(BM_BootstrapStatistics)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

RUVA_BENCHMARK_MAIN();
