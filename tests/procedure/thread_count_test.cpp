// The profiling engine's threads: NTHREADS= within the processor count,
// one thread for programs that carry values between observations.
#include <string>
#include <vector>

#include "host/named_values.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

TEST_F(ProcedureTest, ThreadCountWithinTheProcessors) {
  write_file("d.csv", "x,y\n1,2\n");
  const QXChar name[] = {'h', 'o', 's', 't', '.', 'c', 'p', 'u', 'c', 'o', 'u', 'n', 't'};
  ASSERT_EQ(qxnrlset(name, 13, 3), 0);
  struct Case {
    std::string opts, statements;
    int threads, per_batch, message;
  };
  for (const Case& c : std::vector<Case>{{"", "", 1, 3, 0},
                                         {"nthreads=2.9", "", 2, 3, 0},
                                         {"nthreads=3", "", 3, 3, 0},
                                         {"nthreads=0", "", 1, 3, 423},
                                         {"nthreads=8", "", 3, 3, 424},
                                         {"nthreads=4", "retain s 0; s = s + 1;", 1, 3, 0},
                                         {"nthreads=4", "control k 1;", 1, 3, 0}}) {
    const std::string program = "proc ruva data=d " + c.opts + "; parms a=1; model y = a*x; der.a = x; " +
                                c.statements;
    ASSERT_EQ(run(program, setup_body), 0) << c.opts << c.statements << log_text();
    EXPECT_EQ(context()->qxprof_block.n_threads, c.threads) << c.opts << c.statements;
    EXPECT_EQ(context()->qxprof_block.ntpb, c.per_batch) << c.opts << c.statements;
    EXPECT_EQ(logged(423), c.message == 423 ? 1 : 0) << c.opts;
    EXPECT_EQ(logged(424), c.message == 424 ? 1 : 0) << c.opts;
  }
}

}  // namespace
