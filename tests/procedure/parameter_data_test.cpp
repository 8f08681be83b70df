// The parameter data set: which rows give starting values to which
// parameters, its faults with their messages and exit codes, and values read
// per BY group, with the step's return code the largest over the groups.
#include <string>
#include <vector>

#include "procedure/starting_values.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

// Per BY group: nlparms's result and each parameter's values.
struct Groups {
  std::vector<std::string> parameters;
  std::vector<int> results;
  std::vector<std::vector<std::vector<double>>> values;
};
Groups g_groups;

void by_groups_body() {
  RUVACOM* ctx = procedure_test::begin_step(1);
  for (int i = 0; i < ctx->parmsym->n; ++i) g_groups.parameters.emplace_back(ctx->parmsym->s[i]->name);
  while (xbynext(ctx->fiddata) > 0) {
    g_groups.results.push_back(nlparms(ctx));
    std::vector<std::vector<double>> v;
    for (int i = 0; i < ctx->nparm; ++i) v.emplace_back(ctx->parms[i].vals, ctx->parms[i].vals + ctx->parms[i].npoint);
    g_groups.values.push_back(v);
    ++ctx->bycnt;
  }
  xexit(ctx->rc, 0);
}

class ParameterDataTest : public ProcedureTest {
 protected:
  ParameterDataTest() { write_file("d.csv", "site,x,y\n1,1,2\n1,2,4\n2,1,3\n2,2,5\n3,1,1\n"); }
  // A model in c, a and b with every derivative given.
  int run_with(const std::string& pdata_csv, const std::string& head = "proc ruva data=d",
               const std::string& parms = "parms c=0 / pdata=p", void (*body)() = by_groups_body) {
    write_file("p.csv", pdata_csv);
    g_groups = Groups{};
    return run(head + "; " + parms + "; model y = c + a*x + b; der.a = x; der.b = 1; der.c = 1;", body);
  }
};

TEST_F(ParameterDataTest, RowsGiveValuesToParametersNotInParms) {
  ASSERT_EQ(run_with("Parameter,Estimate\na,1\nc,9\na,2\nb,5\nc,8\nb,.\n"), 0) << log_text();
  EXPECT_EQ(g_groups.parameters, (std::vector<std::string>{"c", "a", "b"}));
  ASSERT_EQ(g_groups.values.size(), 1u);
  EXPECT_EQ(g_groups.values[0], (std::vector<std::vector<double>>{{0}, {1, 2}, {5}}));
  EXPECT_EQ(logged(125), 1);  // once for c, however many rows name it
}

// Parameters listed in PARMS without values take theirs from the data set,
// in PARMS order, with no note that they have PARMS values and none that
// they are uninitialized; per BY group as well.
TEST_F(ParameterDataTest, ParmsNamesWithoutValuesTakeTheDataSetsValues) {
  const std::string parms = "parms b c a / pdata=p";
  ASSERT_EQ(run_with("Parameter,Estimate\na,1\nc,9\na,2\nb,5\nc,8\n", "proc ruva data=d", parms), 0) << log_text();
  EXPECT_EQ(g_groups.parameters, (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(g_groups.values.at(0), (std::vector<std::vector<double>>{{5}, {8, 9}, {1, 2}}));
  EXPECT_EQ(logged(125), 0);
  ASSERT_EQ(run_with("site,Parameter,Estimate\n1,a,1\n1,b,2\n1,c,0\n2,a,3\n2,b,4\n2,c,0\n3,a,5\n3,b,6\n3,c,0\n",
                     "proc ruva data=d; by site", parms),
            0)
      << log_text();
  EXPECT_EQ(g_groups.values.at(1), (std::vector<std::vector<double>>{{4}, {0}, {3}}));
  // A whole step: the fit starts from the data set's values, and no
  // parameter is called uninitialized.
  ASSERT_EQ(run_with("Parameter,Estimate\na,1\nb,0\nc,0\n", "proc ruva data=d", parms, kovruva), 0) << log_text();
  EXPECT_EQ(log_text().find("uninitialized"), std::string::npos) << log_text();
  EXPECT_NE(log_text().find("Convergence criterion met"), std::string::npos) << log_text();
}

// With no names on PARMS every parameter comes from the data set, in the
// order of its first row, per BY group as well.
TEST_F(ParameterDataTest, ParmsWithoutNamesTakesEveryParameterFromTheDataSet) {
  ASSERT_EQ(run_with("Parameter,Estimate\nb,5\na,2\nc,0\na,1\n", "proc ruva data=d", "parms / pdata=p"), 0)
      << log_text();
  EXPECT_EQ(g_groups.parameters, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(g_groups.values.at(0), (std::vector<std::vector<double>>{{5}, {1, 2}, {0}}));
  ASSERT_EQ(run_with("site,Parameter,Estimate\n1,c,0\n1,a,1\n1,b,2\n2,c,0\n2,a,3\n2,b,4\n3,c,0\n3,a,5\n3,b,6\n",
                     "proc ruva data=d; by site", "parms / data=p", kovruva),
            0)
      << log_text();
  EXPECT_NE(log_text().find("Convergence criterion met"), std::string::npos) << log_text();
}

TEST_F(ParameterDataTest, ShortVariableNamesAndGrowingValueLists) {
  std::string csv = "Parm,Est\n";
  for (int i = 0; i < 25; ++i) csv += "a," + std::to_string(i) + "\n";
  ASSERT_EQ(run_with(csv + "b,1\n"), 0) << log_text();
  ASSERT_EQ(g_groups.values[0][1].size(), 25u);
  EXPECT_EQ(g_groups.values[0][1][24], 24.0);
}

TEST_F(ParameterDataTest, FaultsOfTheDataSet) {
  struct Case {
    const char* csv;
    int message;
  };
  for (const Case& c : std::vector<Case>{{"Parameter,Value\na,1\n", 121},
                                         {"Name,Estimate\na,1\n", 122},
                                         {"Parameter,Estimate\na,one\nb,two\n", 123},
                                         {"Parameter,Estimate\n1,1\n", 124},
                                         {"Parameter,Estimate\na,1\nb,.\n", 126}}) {
    // 108 with BY groups, 1008 without.
    EXPECT_EQ(run_with(c.csv, "proc ruva data=d"), 1008) << c.csv;
    EXPECT_EQ(logged(c.message), 1) << c.csv << log_text();
    EXPECT_EQ(run_with(c.csv, "proc ruva data=d; by site"), 108) << c.csv;
  }
  EXPECT_EQ(run_with("Parameter,Estimate\na,1\nb,1\n", "proc ruva data=d", "parms c=0 / pdata=p; parms e=1 / data=p"),
            3000);
  EXPECT_EQ(logged(120), 1);
}

TEST_F(ParameterDataTest, WithoutByVariablesTheValuesServeEveryGroup) {
  ASSERT_EQ(run_with("Parameter,Estimate\na,1\nb,2\nb,3\n", "proc ruva data=d; by site"), 0) << log_text();
  EXPECT_EQ(logged(127), 1);
  ASSERT_EQ(g_groups.values.size(), 3u);
  for (const auto& group : g_groups.values) EXPECT_EQ(group, (std::vector<std::vector<double>>{{0}, {1}, {2, 3}}));
}

TEST_F(ParameterDataTest, ValuesPerByGroup) {
  ASSERT_EQ(run_with("site,Parameter,Estimate\n1,a,1\n1,b,2\n2,a,3\n2,a,3\n2,b,4\n3,a,5\n",
                     "proc ruva data=d; by site"),
            4)
      << log_text();
  ASSERT_EQ(g_groups.values.size(), 3u);
  EXPECT_EQ(g_groups.results, (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(g_groups.values[0], (std::vector<std::vector<double>>{{0}, {1}, {2}}));
  EXPECT_EQ(g_groups.values[1], (std::vector<std::vector<double>>{{0}, {3}, {4}}));  // duplicates dropped
  EXPECT_EQ(logged(129), 1);  // b has no value in site 3
  EXPECT_EQ(logged(18), 1);
}

TEST_F(ParameterDataTest, TheStepCodeIsTheLargestOverTheGroups) {
  // Site 2 lacks b: its group is not fitted and raises the code to 4; the
  // groups on either side are still processed.
  const int rc = run_with("site,Parameter,Estimate\n1,a,1\n1,b,2\n2,a,3\n3,a,5\n3,b,6\n",
                          "proc ruva data=d; by site", "parms c=0 / pdata=p", kovruva);
  EXPECT_EQ(rc, 4) << log_text();
  EXPECT_EQ(logged(129), 1);
  EXPECT_EQ(context()->bycnt, 3);
  EXPECT_EQ(context()->rcinit, 0);
  EXPECT_EQ(context()->rc, 4);
}

// A name of the data set that the model does not use is dropped with its
// warning; a group without a value for it is still fitted.
TEST_F(ParameterDataTest, ADroppedParameterNeedsNoValueInAGroup) {
  const int rc = run_with("site,Parameter,Estimate\n1,a,1\n1,b,2\n1,zz,1\n2,a,3\n2,b,4\n3,a,5\n3,b,6\n",
                          "proc ruva data=d; by site", "parms c=0 / pdata=p", kovruva);
  EXPECT_EQ(rc, 4) << log_text();
  EXPECT_EQ(logged(65), 1);
  EXPECT_EQ(logged(129), 0) << log_text();
  EXPECT_EQ(logged(20), 3) << log_text();  // every group converged
}

TEST_F(ParameterDataTest, AnUnsortedDataSetCannotBeMatchedByGroup) {
  EXPECT_EQ(run_with("site,Parameter,Estimate\n2,a,1\n2,b,1\n1,a,3\n1,b,2\n", "proc ruva data=d; by site"), 1012);
  EXPECT_EQ(logged(128), 1);
}

}  // namespace
