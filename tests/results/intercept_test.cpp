// Whether the model has an intercept: from the program when a parameter's
// derivative is a constant, otherwise from the derivatives' values: the
// column of ones in their span. The decision must not depend on how well the
// model fits: y = exp(a) + b x has an intercept however noisy the data, and
// y = b x fitted exactly has none.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fit_fixture.h"
#include "linalg/packed.h"
#include "results/result_tables.h"

namespace {

using results_test::Json;

class InterceptTest : public results_test::FitTest {
 protected:
  // From the program: the set-up's derivative symbols decide, every
  // parameter given a positive variance and no intercept sums.
  int symbolic(const std::string& model) {
    int intercept = -1;
    write_file("d.csv", "x,y\n1,2\n2,4.1\n3,5.9\n");
    EXPECT_EQ(run_and_inspect("proc ruva data=d; parms b0=1 b1=1; " + model, procedure_test::setup_body,
                              [&](RUVACOM* ctx) {
                                for (int i = 0; i < ctx->nparm; ++i) ctx->xpx[zisub(i, i)] = 1.0;
                                std::memset(ctx->parmdf, '1', static_cast<std::size_t>(ctx->nparm));
                                intercept = isintercept(ctx);
                              }),
              0)
        << log_text();
    return intercept;
  }
  // True when the fit's ANOVA was corrected for the mean.
  bool corrected(const std::string& csv, const std::string& program) {
    EXPECT_EQ(fit(csv, program), 0) << log_text();
    const Json a = table("ANOVA");
    const bool is = a["rows"][2][0] == "Corrected Total";
    EXPECT_EQ(a["notes"].empty(), is);
    return is;
  }
};

TEST_F(InterceptTest, AConstantDerivativeInTheProgramIsAnIntercept) {
  EXPECT_EQ(symbolic("model y = b0 + b1*x;"), 1);
  EXPECT_EQ(symbolic("model y = 2*b0 + b1*x;"), 1);
  EXPECT_EQ(symbolic("model y = b1*x + b0/4;"), 1);
  EXPECT_EQ(symbolic("model y = b0 + b1*x; der.b0 = 1; der.b1 = x;"), 1);
  EXPECT_EQ(symbolic("model y = b0*x + b1*x*x;"), 0);
  EXPECT_EQ(symbolic("model y = b0*exp(b1*x);"), 0);
}

// exp(a) hides the constant column from the program; its values show it.
TEST_F(InterceptTest, AConstantColumnScaledByAParameterIsAnInterceptWhateverTheFit) {
  const std::string model = "parms a=0.5 b=1; model y = exp(a) + b*x;";
  const std::string noisy = "x,y,w\n1,3.9,1\n2,5.2,2\n3,5.8,0.5\n4,7.3,1\n5,7.9,3\n6,9.4,1\n7,9.8,0.25\n8,11.3,2\n";
  EXPECT_TRUE(corrected(noisy, "proc ruva data=d; " + model));
  EXPECT_TRUE(corrected(noisy, "proc ruva data=d; _weight_ = w; " + model));
  EXPECT_TRUE(corrected("x,y\n1,3.1\n2,4.2\n3,5.3\n4,6.4\n5,7.5\n", "proc ruva data=d; " + model));
}

TEST_F(InterceptTest, ANoiseFreeModelWithoutInterceptStaysUncorrected) {
  EXPECT_FALSE(corrected("x,y\n1,1.5\n2,3\n3,4.5\n4,6\n", "proc ruva data=d; parms b=1; model y = b*x;"));
}

}  // namespace
