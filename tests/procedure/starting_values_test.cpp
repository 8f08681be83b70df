// Starting values: the index heap sort against std::sort, near-duplicates,
// the grid built from PARMS values (TO/BY ranges, values taken from a later
// parameter), the number of points and best points kept, and the order in
// which grid points decode.
#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "procedure/starting_values.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

TEST(IndexVec, OrdersAscendingForEveryLengthAndStride) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> small(-5, 5);  // many ties
  for (int n = 0; n <= 40; ++n) {
    for (int stride : {1, 3}) {
      std::vector<double> a(static_cast<std::size_t>(n * stride) + 1);
      for (double& v : a) v = small(gen) * 0.5;
      std::vector<int> index(static_cast<std::size_t>(std::max(n, 1)), -1);
      IndexVec(a.data(), n, index.data(), stride);
      if (n == 0) continue;
      std::vector<int> sorted(index.begin(), index.begin() + n);
      std::vector<int> identity(static_cast<std::size_t>(n));
      std::iota(identity.begin(), identity.end(), 0);
      ASSERT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), identity.begin())) << n;
      for (int i = 1; i < n; ++i)
        ASSERT_LE(a[static_cast<std::size_t>(sorted[i - 1] * stride)], a[static_cast<std::size_t>(sorted[i] * stride)])
            << "n " << n << " stride " << stride;
    }
  }
}

// RemoveDups logs through the host, so it runs inside a step.
struct Dups {
  std::vector<double> values;
  std::vector<double> kept;
};
Dups g_dups;

void remove_dups_body() {
  CMPSYM sym{};
  sym.name = "theta";
  sym.nameleng = 5;
  int n = static_cast<int>(g_dups.values.size());
  std::vector<double> v = g_dups.values;
  RemoveDups(v.data(), &n, &sym);
  g_dups.kept.assign(v.begin(), v.begin() + n);
  xexit(0, 0);
}

class RemoveDupsTest : public ProcedureTest {
 protected:
  std::vector<double> kept(std::vector<double> values) {
    g_dups.values = std::move(values);
    EXPECT_EQ(run("", remove_dups_body), 0);
    return g_dups.kept;
  }
};

TEST_F(RemoveDupsTest, SortsAndKeepsTheLastOfEachRunOfNearDuplicates) {
  EXPECT_EQ(kept({1, 1 + 1e-11, 2}), (std::vector<double>{1 + 1e-11, 2}));
  EXPECT_EQ(logged(18), 1);
  EXPECT_NE(log_text().find("theta"), std::string::npos);
  EXPECT_EQ(kept({3, 1, 2}), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(logged(18) + logged(92), 0);
  // A run of three, each within 1e-10 of the next, and an exact pair.
  EXPECT_EQ(kept({5, 1 + 1.8e-10, 1, 1 + 0.9e-10, 5, -2}), (std::vector<double>{-2, 1 + 1.8e-10, 5}));
  EXPECT_EQ(logged(92), 1);
  EXPECT_EQ(kept({4, 4 + 2e-10}), (std::vector<double>{4, 4 + 2e-10}));
  EXPECT_EQ(kept({7}), (std::vector<double>{7}));
}

// The grid of the first BY group, read while the program exists.
struct Grid {
  int rc = -1;
  int npoints = 0, nsave = 0, maxnamelen = 0;
  std::vector<std::string> names;
  std::vector<std::vector<double>> values;
};
Grid g_grid;

void keep_grid(RUVACOM* c) {
  g_grid.rc = nlparms(c);
  g_grid.npoints = c->npoints;
  g_grid.nsave = c->nsave;
  g_grid.maxnamelen = c->maxnamelen;
  for (int i = 0; i < c->nparm; ++i) {
    g_grid.names.emplace_back(c->pname[i]);
    g_grid.values.emplace_back(c->parms[i].vals, c->parms[i].vals + c->parms[i].npoint);
  }
}

// Point k of the grid, decoded with the first parameter varying fastest.
std::vector<double> point(const Grid& g, int k) {
  std::vector<double> p;
  for (const auto& v : g.values) {
    p.push_back(v[static_cast<std::size_t>(k) % v.size()]);
    k /= static_cast<int>(v.size());
  }
  return p;
}

class GridTest : public ProcedureTest {
 protected:
  GridTest() { write_file("d.csv", "x,y\n1,2\n2,4\n3,7\n"); }
  const Grid& grid(const std::string& parms, const std::string& opts = "", int* rc = nullptr) {
    g_grid = Grid{};
    std::string ders;
    for (const char* p : {"a", "b", "c", "longparameter"})
      if (parms.find(p) != std::string::npos) ders += std::string(" der.") + p + " = 1;";
    const std::string program = "proc ruva data=d " + opts + "; parms " + parms +
                                "; model y = a + b*x + c + longparameter;" + ders;
    const int code = run_and_inspect(program, setup_body, keep_grid);
    if (rc) *rc = code;
    else EXPECT_EQ(code, 0) << log_text();
    return g_grid;
  }
};

TEST_F(GridTest, RangesAndPointsInMixedRadixOrder) {
  const Grid& g = grid("a = 1 to 3 b = 10 20 c = 0.5 to 0.1 by -0.2 longparameter = 7");
  ASSERT_EQ(g.rc, 0);
  EXPECT_EQ(g.names, (std::vector<std::string>{"a", "b", "c", "longparameter"}));
  EXPECT_EQ(g.values[0], (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(g.values[1], (std::vector<double>{10, 20}));
  ASSERT_EQ(g.values[2].size(), 3u);  // sorted ascending
  EXPECT_NEAR(g.values[2][0], 0.1, 1e-15);
  EXPECT_NEAR(g.values[2][2], 0.5, 1e-15);
  EXPECT_EQ(g.npoints, 18);
  EXPECT_EQ(g.nsave, 1);
  EXPECT_EQ(g.maxnamelen, 13);
  EXPECT_EQ(point(g, 0), (std::vector<double>{1, 10, g.values[2][0], 7}));
  EXPECT_EQ(point(g, 4), (std::vector<double>{2, 20, g.values[2][0], 7}));
  EXPECT_EQ(point(g, 17), (std::vector<double>{3, 20, g.values[2][2], 7}));
}

TEST_F(GridTest, ValuesTakenFromTheNextParameterWithValues) {
  const Grid& g = grid("a= b= c = 1 2 3");
  ASSERT_EQ(g.rc, 0);
  for (const auto& v : g.values) EXPECT_EQ(v, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(g.npoints, 27);
  EXPECT_EQ(g.maxnamelen, 8);
  int rc = 0;
  grid("a = 1 b=", "", &rc);
  EXPECT_EQ(rc, 1012);
  EXPECT_EQ(logged(63), 1);
}

TEST_F(GridTest, BestPointsKept) {
  EXPECT_EQ(grid("a = 1 to 4 b = 1 2 3", "best=2").nsave, 3);
  EXPECT_EQ(grid("a = 1 to 4 b = 1 2 3", "best=20").nsave, 12);
  EXPECT_EQ(grid("a = 1 to 4 b = 1 2 3", "best=0").nsave, 1);
  EXPECT_EQ(grid("a = 1 to 4 b = 1 2 3").nsave, 1);
}

}  // namespace
