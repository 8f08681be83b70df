// The step driver: the return code with no BY group, faults at the
// procedure level (in the BY-group loop and in the phases before it), output
// data sets the host gives no variable list, the bootstrap stream restarted
// for every group, and the end-of-task clean-up.
#include <new>
#include <string>
#include <vector>

#include "procedure/recovery.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;

class DriverTest : public ProcedureTest {
 protected:
  DriverTest() { write_file("d.csv", "g,x,y\n1,1,2\n1,2,4\n2,1,3\n2,2,5\n3,3,6\n"); }
  static constexpr const char* kFit = "parms b=1; model y = b*x; der.b = x;";
};

TEST_F(DriverTest, WithoutAnyByGroupTheCodeIsTheSetUpsCode) {
  write_file("empty.csv", "x,b,y\n");
  // The parameter named like an input variable gives a warning (4) in the set-up.
  EXPECT_EQ(run(std::string("proc ruva data=empty; ") + kFit), 4) << log_text();
  EXPECT_EQ(logged(50), 1);
  EXPECT_EQ(context()->bycnt, 0);
  EXPECT_EQ(context()->rcinit, 4);
  EXPECT_NE(log_text().find("WARNING: The data set WORK.empty has no observations"), std::string::npos)
      << log_text();
  // No observation satisfies WHERE: a warning, and no fit.
  EXPECT_EQ(run(std::string("proc ruva data=d; where g > 5; ") + kFit), 4) << log_text();
  EXPECT_EQ(context()->bycnt, 0);
  EXPECT_NE(log_text().find("WARNING: No observation of the data set WORK.d satisfies the WHERE"),
            std::string::npos)
      << log_text();
}

int g_groups_before_fault = 0;
int faulting_bynext(XO_FILE*) {
  if (g_groups_before_fault-- > 0) return 1;
  my_fpe_handler(0);
  return 0;
}
int faulting_generation(CMPGLOBAL*) {
  my_fpe_handler(0);
  return 0;
}

TEST_F(DriverTest, AFaultAtTheProcedureLevelEndsTheStepWith1012) {
  g_groups_before_fault = 2;
  void* real = host_.replace_service(212, 4, reinterpret_cast<void*>(&faulting_bynext));
  const int rc = run(std::string("proc ruva data=d; ") + kFit);
  host_.replace_service(212, 4, real);
  EXPECT_EQ(rc, 1012) << log_text();
  EXPECT_EQ(context()->bycnt, 2);
  EXPECT_EQ(context()->exception_s.j_buf_unrecoverable_set, 0);
}

// A step that fails after some BY groups were fitted leaves no OUTEST= or
// OUTPUT file: a fault in the third group, the data out of order after the second.
TEST_F(DriverTest, AStepThatFailsAfterSomeGroupsWritesNoDataSet) {
  write_file("unsorted.csv", "g,x,y\n1,1,2\n1,2,4\n2,1,3\n2,2,5\n1,3,6\n");
  struct Case {
    const char* data;
    bool fault;
  } cases[] = {{"d", true}, {"unsorted", false}};
  for (const Case& c : cases) {
    g_groups_before_fault = 2;
    void* real = c.fault ? host_.replace_service(212, 4, reinterpret_cast<void*>(&faulting_bynext)) : nullptr;
    const int rc = run(std::string("proc ruva outest=est data=") + c.data + "; by g; " + kFit + " output out=o p=p;");
    if (c.fault) host_.replace_service(212, 4, real);
    EXPECT_EQ(rc, 1012) << log_text();
    EXPECT_EQ(context()->bycnt, 2) << c.data;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "est.csv")) << c.data;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "o.csv")) << c.data;
    EXPECT_NE(log_text().find("ERROR: The data set WORK.est was not written because the step failed."),
              std::string::npos)
        << log_text();
  }
}

// An ERROR logged by the second group's pass (ABORT, a subscript out of
// range) fails the step: the first group's rows are not written either.
TEST_F(DriverTest, AnErrorInTheDataPassWritesNoDataSet) {
  const char* programs[] = {"if g=2 then abort;", "array c[2] c1-c2; c[g] = 1;"};
  for (const char* statements : programs) {
    const int rc = run(std::string("proc ruva outest=est data=d; by g; ") + statements + kFit + " output out=o p=p;");
    EXPECT_EQ(rc, 8) << log_text();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "est.csv")) << statements;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "o.csv")) << statements;
    EXPECT_NE(log_text().find("ERROR: The data set WORK.o was not written because the step failed."),
              std::string::npos)
        << log_text();
  }
}

TEST_F(DriverTest, AFaultBeforeTheByGroupLoopEndsTheStepWith1012) {
  void* real = host_.replace_service(148, 57, reinterpret_cast<void*>(&faulting_generation));
  const int rc = run(std::string("proc ruva data=d; ") + kFit);
  host_.replace_service(148, 57, real);
  EXPECT_EQ(rc, 1012) << log_text();
  EXPECT_EQ(context()->bycnt, 0);
}

// The host refuses an output data set its variable list: OUTEST= and OUTPUT
// end the step with 1016 before any fit; a PROFILE or BOOTSTRAP data set
// gives up that request alone, and the fit goes on (an error: no data set).
int refuse_variable_list(XO_FILE*, int, int, XV_VECTOR** vector) {
  *vector = nullptr;
  return 0;
}

TEST_F(DriverTest, AnOutputDataSetWithoutAVariableListIsReported) {
  const struct {
    const char *options, *statements, *data_set, *message;
    int rc;
  } cases[] = {
      {" outest=est", "", "est", "Work storage for the fit could not be allocated.", 1016},
      {"", " output out=o p=p;", "o", "There is not enough memory for the step's lists.", 1016},
      {"", " profile b / profdata=pr;", "pr", "Work storage for the fit could not be allocated.", 8},
      {"", " bootstrap / bootdata=bt nsamples=10;", "bt", "Work storage for the fit could not be allocated.", 8},
  };
  for (const auto& c : cases) {
    void* real = host_.replace_service(212, 71, reinterpret_cast<void*>(&refuse_variable_list));
    const int rc = run(std::string("proc ruva data=d") + c.options + "; " + kFit + c.statements);
    host_.replace_service(212, 71, real);
    EXPECT_EQ(rc, c.rc) << c.statements << log_text();
    EXPECT_NE(log_text().find(std::string("ERROR: ") + c.message), std::string::npos) << log_text();
    EXPECT_EQ(logged(20), c.rc == 8 ? 1 : 0) << log_text();
    EXPECT_FALSE(std::filesystem::exists(dir_ / (std::string(c.data_set) + ".csv")));
  }
}

// Running out of memory is no fault a recovery point may swallow: wherever
// std::bad_alloc is thrown (a model run, the BY-group loop, the program's
// generation) the step ends with 1016 and says why, and writes no data set.
int g_calls_before_shortage = 0;
void* g_real_service = nullptr;
void count_down_to_shortage() {
  if (g_calls_before_shortage-- == 0) throw std::bad_alloc();
}
int short_bynext(XO_FILE* f) {
  count_down_to_shortage();
  return reinterpret_cast<int (*)(XO_FILE*)>(g_real_service)(f);
}
int short_generation(CMPGLOBAL* c) {
  count_down_to_shortage();
  return reinterpret_cast<int (*)(CMPGLOBAL*)>(g_real_service)(c);
}
int short_run(int e, int r1, int r2, int cm, int ce, int d, int nl, int lp, int* ne, int* nm, CMPGLOBAL* c) {
  count_down_to_shortage();
  return reinterpret_cast<decltype(&short_run)>(g_real_service)(e, r1, r2, cm, ce, d, nl, lp, ne, nm, c);
}

TEST_F(DriverTest, RunningOutOfMemoryAnywhereEndsTheStepWith1016) {
  const struct {
    int vector, entry;
    void* service;
    int calls_before;
  } cases[] = {{148, 12, reinterpret_cast<void*>(&short_run), 3},
               {212, 4, reinterpret_cast<void*>(&short_bynext), 2},
               {148, 57, reinterpret_cast<void*>(&short_generation), 0}};
  for (const auto& c : cases) {
    g_calls_before_shortage = c.calls_before;
    g_real_service = host_.replace_service(c.vector, c.entry, c.service);
    const int rc = run(std::string("proc ruva outest=est data=d; by g; ") + kFit + " z = _obs_; output out=o p=p;");
    host_.replace_service(c.vector, c.entry, g_real_service);
    EXPECT_LT(g_calls_before_shortage, 0) << c.vector << "/" << c.entry << ": no shortage met";
    EXPECT_EQ(rc, 1016) << log_text();
    const std::string said = "ERROR: The step ran out of memory and was stopped.", log = log_text();
    EXPECT_NE(log.find(said), std::string::npos) << log;
    EXPECT_EQ(log.find(said, log.find(said) + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("logged no message"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "est.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "o.csv"));
  }
}

// The step's storage held to what it has when it starts and `g_room` bytes.
std::size_t g_room = 0;
void short_pool_body() {
  platform::Pool& pool = platform::Host::current().task_pool();
  pool.set_budget(pool.bytes_held() + g_room);
  kovruva();
}

// A task pool short by any amount, in the statements' records, the
// compiled program or the fit's work storage, ends the step with 1016 and
// the shortfall or the work storage's message: never as a statement error
// or a failed set-up.
TEST_F(DriverTest, ATaskPoolShortByAnyAmountEndsTheStepWith1016) {
  int short_runs = 0, work_storage = 0;
  for (g_room = 1; g_room < 100000; g_room += 16) {
    const int rc = run(std::string("proc ruva data=d; bounds b > 0; ") + kFit, short_pool_body);
    if (rc == 0) break;
    ++short_runs;
    EXPECT_EQ(rc, 1016) << g_room << " bytes: " << log_text();
    const bool said = log_text().find("ERROR: Insufficient memory: ") != std::string::npos;
    EXPECT_TRUE(said || logged(8) == 1) << log_text();
    work_storage += logged(8);
  }
  EXPECT_GT(short_runs, 100);
  EXPECT_GT(work_storage, 0) << "no run fell short in the fit's work storage";
}

// The first uniform of the bootstrap stream after each group's reset.
std::vector<double> g_first_uniforms;
void bootstrap_groups_body() {
  RUVACOM* ctx = procedure_test::begin_step(1);
  while (xbynext(ctx->fiddata) > 0) {
    reset_for_next_bygroup(ctx);
    MRandom& mr = ctx->ruvabootstrap_control->comp.mr;
    g_first_uniforms.push_back(mr.GetOneVariateUNIFORM(&mr));
    mr.GetOneVariateUNIFORM(&mr);  // draws that the next reset undoes
  }
  xexit(ctx->rc, 0);
}

TEST_F(DriverTest, EveryByGroupDrawsTheBootstrapFromTheSameSeed) {
  g_first_uniforms.clear();
  ASSERT_EQ(run(std::string("proc ruva data=d; by g; ") + kFit + " bootstrap / seed=4321;", bootstrap_groups_body),
            0)
      << log_text();
  ASSERT_EQ(g_first_uniforms.size(), 3u);
  EXPECT_GT(g_first_uniforms[0], 0.0);
  EXPECT_LT(g_first_uniforms[0], 1.0);
  EXPECT_EQ(g_first_uniforms[1], g_first_uniforms[0]);
  EXPECT_EQ(g_first_uniforms[2], g_first_uniforms[0]);
}

TEST_F(DriverTest, TheEndOfTaskHandlerRunsOnce) {
  ASSERT_EQ(run(std::string("proc ruva data=d; ") + kFit), 0) << log_text();
  RUVACOM* ctx = context();
  ASSERT_EQ(ctx->cleanedup, 1);
  // Already cleaned up: neither entry purges the compiler block again.
  RUVAEndofTask();
  EXPECT_EQ(ruvapurg(ctx), 0);
  EXPECT_EQ(ctx->globcmp.compiler, nullptr);
}

}  // namespace
