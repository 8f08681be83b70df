// The cost of a host-object method call through the dispatcher, and of
// emitting one row of a ten-column table (cells read at emit time).
#include <benchmark/benchmark.h>

#include <sstream>

#include "host/parse_print_record.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "host/output_tables.h"
#include "platform/host.h"

namespace {

std::int32_t nothing(WOB_OBJ_STR*, void*, std::int32_t, std::int32_t, WOB_PARM_BLK_STR*) { return 0; }

void BM_DispatchThroughSuperClass(benchmark::State& state) {
  WOB_ENT_STR entry{&nothing, {nullptr}, 7, 0, 0};
  WOB_EXPRESS_STR link{nullptr, nullptr, &entry, 7};
  WOB_EXPRESS_STR* base_buckets[16] = {};
  base_buckets[7] = &link;
  WOB_EXPRESS_STR* own_buckets[16] = {};
  WOB_MA_TBL_STR base{}, own{};
  base.mth_tbl = base_buckets;
  base.mth_mask = 15;
  own.mth_tbl = own_buckets;
  own.mth_mask = 15;
  own.super = &base;
  WOB_OBJ_STR obj{&own, nullptr, nullptr, nullptr};
  for (auto _ : state) benchmark::DoNotOptimize(wobmth(&obj, nullptr, 7, 0, nullptr));
}
BENCHMARK(BM_DispatchThroughSuperClass);

double g_cells[10];
wobop g_table;

void BM_EmitTableRow(benchmark::State& state) {
  std::ostringstream log, listing, json;
  platform::Host host({&log, &listing, &json});
  host.run_step_with([] {
    xinit();
    static WOB_OBJ_STR root;
    xobinit(&root);
    WOB_PARM_BLK_STR mk[3] = {wob_chars(143, "yol", 3), wob_chars(146, "manager", 7), wob_object(144, nullptr)};
    wobmth(&root, nullptr, 147, 3, mk);
    WOB_PARM_BLK_STR cr[3] = {wob_chars(146, "data", 4), wob_object(144, nullptr), wob_text(138, yoltxt("T", -1))};
    wobmth(mk[2].d.op, nullptr, 147, 3, cr);
    g_table = cr[1].d.op;
    for (int c = 0; c < 10; ++c) yolinsc(g_table, yoltxt("c", -1), "c", "g", &g_cells[c]);
    wobmth(g_table, nullptr, 298, 0, nullptr);
  });
  // The step's objects live until the next step starts.
  for (auto _ : state) {
    g_cells[0] += 1;
    benchmark::DoNotOptimize(wobmth(g_table, nullptr, 329, 0, nullptr));
  }
}
// Rows are kept until the table is released: a fixed count bounds the memory.
BENCHMARK(BM_EmitTableRow)->Iterations(50000);

}  // namespace

BENCHMARK_MAIN();
