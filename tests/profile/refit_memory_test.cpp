// Running out of memory on the refit engine's threads ends the step as it
// does on the step's own thread: return code 1016, the message once, and no
// output data set kept. The shortage is made, without exhausting memory, by
// a computed-variables callback that throws std::bad_alloc from a chosen
// call on: on a refit thread, while other refits of the batch run on theirs.
#include <atomic>
#include <fstream>
#include <sstream>
#include <new>

#include "host/ext_refit_engine_qxprof.h"
#include "host/kernel_handle.h"
#include "host/pool.h"
#include "platform/pool.h"
#include "results/fit_fixture.h"

namespace {

using results_test::kPuromycin;

std::atomic<long> g_calls_before_shortage{0};
decltype(QX_HNDL_S::loadExtension) g_real_load = nullptr;
decltype(QXPROF_EXTENSION::create_instance) g_real_create = nullptr;
decltype(QXPROF_FACTORY::define_prof_tasks) g_real_define = nullptr;
QXPROF_COMP_VARS_CB g_real_callback = nullptr;

int short_callback(QXPROF_COMP_VARS_CB_ARGS* a) {
  if (g_calls_before_shortage.fetch_sub(1) <= 0) throw std::bad_alloc();  // and on every call after it
  return g_real_callback(a);
}

int short_define(QXPROF_INSTANCE* i, QXPROF_J j, const QXPROF_TASK_DESC* t, std::int32_t n) {
  std::vector<QXPROF_TASK_DESC> tasks(t, t + n);
  for (QXPROF_TASK_DESC& task : tasks) {
    g_real_callback = task.computed_vars_cb;
    task.computed_vars_cb = &short_callback;
  }
  return g_real_define(i, j, tasks.data(), n);
}

QXPROF_INSTANCE* short_create(QXPROF_EXTENSION* ext, void* jnl, const QXPROF_PARMS* p) {
  QXPROF_INSTANCE* inst = g_real_create(ext, jnl, p);
  if (inst) {
    g_real_define = inst->FactoryPtr->define_prof_tasks;
    inst->FactoryPtr->define_prof_tasks = &short_define;
  }
  return inst;
}

void* short_load(QX_HNDL_S* h, const QXChar* name, QXStrSize length, int flags) {
  void* ext = g_real_load(h, name, length, flags);
  if (ext && std::string(name, name + length) == "qxprof") {
    auto* prof = static_cast<QXPROF_EXTENSION*>(ext);
    g_real_create = prof->create_instance;
    prof->create_instance = &short_create;
  }
  return ext;
}

class RefitMemoryTest : public results_test::FitTest {};

// Profiling (the check of the fit, the reference refit, a profile point,
// a jackknife refit), the bootstrap in its second batch, and a program
// with a CONTROL variable (one thread, a row per call, so the shortage
// comes inside a refit's iterations).
TEST_F(RefitMemoryTest, ShortageOnARefitThreadEndsTheStepWith1016) {
  auto* qx = static_cast<QX_HNDL_S*>(host_.qx_handle_area());
  g_real_load = qx->loadExtension;
  qx->loadExtension = &short_load;
  const std::string model = "parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);";
  const struct {
    std::string program;
    long calls_before;
  } cases[] = {
      {"proc ruva data=d nthreads=4 outest=est; " + model + " profile Vm K / all profdata=pd;", 0},
      {"proc ruva data=d nthreads=4 outest=est; " + model + " profile Vm K / all profdata=pd;", 1},
      {"proc ruva data=d nthreads=4 outest=est; " + model + " profile Vm K / all profdata=pd;", 5},
      {"proc ruva data=d nthreads=4 outest=est; " + model + " profile Vm K / all profdata=pd;", 50},
      {"proc ruva data=d nthreads=4 outest=est; " + model + " bootstrap / seed=1 bootdata=bd;", 150},
      {"proc ruva data=d outest=est; control last 0; last = conc; " + model + " profile K / all profdata=pd;", 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program + " shortage at call " + std::to_string(c.calls_before));
    log_.str("");
    g_calls_before_shortage = c.calls_before;
    EXPECT_EQ(fit(kPuromycin, c.program), 1016) << log_text();
    EXPECT_LT(g_calls_before_shortage.load(), 0) << "no shortage met";
    const std::string said = "ERROR: The step ran out of memory and was stopped.", log = log_text();
    ASSERT_NE(log.find(said), std::string::npos) << log;
    EXPECT_EQ(log.find(said, log.find(said) + 1), std::string::npos) << log;
    EXPECT_EQ(logged(438), 0) << log;
    for (const char* name : {"est.csv", "pd.csv", "bd.csv"})
      EXPECT_FALSE(std::filesystem::exists(dir_ / name)) << name;
  }
  qx->loadExtension = g_real_load;
}

}  // namespace

namespace {

PoolAllocFn g_pool_alloc = nullptr;
long g_blocks_left = -1;  // below 0: no shortage
long g_blocks_taken = 0;

void* short_pool_alloc(void* pool, long length, long flags) {
  ++g_blocks_taken;
  if (g_blocks_left >= 0 && g_blocks_left-- == 0) {
    g_blocks_left = 0;
    platform::add_memory_shortage(length);  // as the pool records a block it cannot give
    return nullptr;
  }
  return g_pool_alloc(pool, length, flags);
}

void short_step() {
  auto** words = static_cast<void**>(task_pool());
  g_pool_alloc = reinterpret_cast<PoolAllocFn>(words[0]);
  words[0] = reinterpret_cast<void*>(&short_pool_alloc);
  kovruva();
}

// The step's own memory short from its n-th block on, for every n: the step
// ends with 1016 (1012 when the fit's work storage or the refits' model
// could not be set up), its first ERROR saying why; past the fit (over a
// program with a character variable), through the set-up of the refits, of
// profiling, of the bootstrap and of their tasks, with no data set.
TEST_F(RefitMemoryTest, ShortageOfTheStepsMemoryEndsTheStepWithTheMemoryMessage) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/examples/puromycin.csv");
  std::stringstream puromycin;
  puromycin << in.rdbuf();
  write_file("d.csv", puromycin.str());
  const std::string program =
      "proc ruva data=d outest=est; parms Vm=200 dV=10 K=0.05;"
      " model rate = (Vm + dV*(state = 'treated'))*conc/(K+conc);"
      " profile Vm / all profdata=pd; bootstrap / seed=1 bootdata=bd;";
  g_blocks_left = -1, g_blocks_taken = 0;
  ASSERT_EQ(run(program, &short_step), 0) << log_text();
  int after_fit = 0;
  for (long n = 0, blocks = g_blocks_taken; n < blocks; ++n) {
    for (const char* name : {"est.csv", "pd.csv", "bd.csv"}) std::filesystem::remove(dir_ / name);
    g_blocks_left = n;
    const int rc = run(program, &short_step);
    const std::string log = log_text();
    SCOPED_TRACE("shortage from block " + std::to_string(n) + "\n" + log);
    // 1012: the fit's work storage (its own message) or the refits' model
    // could not be set up.
    EXPECT_TRUE(rc == 1016 || rc == 1012) << rc;
    const std::size_t error = log.find("ERROR: ");
    ASSERT_NE(error, std::string::npos);
    const std::string first = log.substr(error, log.find('\n', error) - error);
    EXPECT_TRUE(first.find("memory") != std::string::npos || first.find("storage") != std::string::npos) << first;
    EXPECT_EQ(log.find("logged no message"), std::string::npos);
    if (log.find("Convergence criterion met.") == std::string::npos) continue;
    ++after_fit;
    for (const char* name : {"est.csv", "pd.csv", "bd.csv"}) EXPECT_FALSE(std::filesystem::exists(dir_ / name)) << name;
  }
  EXPECT_GE(after_fit, 20);
}

}  // namespace
