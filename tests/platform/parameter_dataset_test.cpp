// The services the parameter data set is read with: finding the name and
// value variables, binding them, reading every row, and aligning its BY
// groups with those of the input data set.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "dataset_fixture.h"
#include "host/missing.h"

namespace {

class ParameterDataSetTest : public DataSetTest {
 protected:
  // Binds the value and name variables the way the parameter reader does.
  void bind(XO_FILE* pd) {
    int est = 0, parm = 0;
    ASSERT_TRUE(xvfind(pd, "Estimate", 8, &est, 0) == 0 || xvfind(pd, "Est", 3, &est, 0) == 0);
    ASSERT_TRUE(xvfind(pd, "Parameter", 9, &parm, 0) == 0 || xvfind(pd, "Parm", 4, &parm, 0) == 0);
    NAMESTR e{}, p{};
    ASSERT_EQ(xvname(pd, est, &e), 0);
    ASSERT_EQ(xvname(pd, parm, &p), 0);
    ASSERT_EQ(e.type, kNumeric);
    ASSERT_EQ(p.type, kCharacter);
    name_.assign(static_cast<std::size_t>(p.length), '\0');
    ASSERT_EQ(xvsele(pd), 0);
    ASSERT_EQ(xvgeti(pd, 2, &get_), 0);
    ASSERT_EQ(xvgetd(get_, est, 0, &value_, 8, 8, 0, 0), 0);
    ASSERT_EQ(xvgetd(get_, parm, 0, name_.data(), p.length, 8, 0, 0), 0);
    ASSERT_EQ(xvgete(get_), 0);
  }
  // (name, value) of each row read by `next` until it reports none.
  template <class Next>
  std::vector<std::pair<std::string, double>> rows(XO_PARMS* parms, Next next) {
    std::vector<std::pair<std::string, double>> out;
    while (next(parms) == 0 && parms->file->current) {
      EXPECT_EQ(xyvget(get_, 0), 0);
      std::string n = name_;
      n.erase(n.find_last_not_of(' ') + 1);
      out.emplace_back(n, value_);
    }
    return out;
  }

  XV_VECTOR* get_ = nullptr;
  double value_ = 0;
  std::string name_;
};

TEST_F(ParameterDataSetTest, EveryRowIsReadInOrder) {
  write_file("p.csv", "Parm,Est\na,1\na,2\nbeta,5\nc,.\n");
  XO_FILE* pd = open("p");
  ASSERT_NE(pd, nullptr);
  bind(pd);
  XO_PARMS parms{};
  parms.file = pd;
  ASSERT_EQ(xopnt(&parms), 0);
  auto got = rows(&parms, [](XO_PARMS* p) { return xoget(p); });
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], std::make_pair(std::string("a"), 1.0));
  EXPECT_EQ(got[2], std::make_pair(std::string("beta"), 5.0));
  EXPECT_TRUE(is_missing(got[3].second));
  EXPECT_EQ(xoget(&parms), kXoEnd);
  // The descriptor's own read operation does the same with opcode 11.
  parms.opcode = kXoOpen;
  ASSERT_EQ(pd->read(&parms), 0);
  parms.opcode = kXoNext;
  EXPECT_EQ(rows(&parms, [&](XO_PARMS* p) { return pd->read(p); }).size(), 4u);
}

TEST_F(ParameterDataSetTest, ByGroupsAlignWithTheInputDataSet) {
  write_file("data.csv", "site,x\n1,0.5\n1,0.7\n2,0.1\n3,0.2\n");
  write_file("pdata.csv", "site,Parameter,Estimate\n1,a,10\n1,b,20\n2,a,30\n");
  XO_FILE* data = open_by("data", platform::BySpec{{{"site"}}});
  XO_FILE* pd = open("pdata");
  bind(pd);
  ASSERT_EQ(xbylist(data, pd), 0);
  std::map<double, std::vector<std::pair<std::string, double>>> by_site;
  std::vector<double> cells;
  XV_VECTOR* site = bind_numbers(data, {"site"}, &cells);
  XO_PARMS dp{}, pp{};
  dp.file = data;
  pp.file = pd;
  while (xbynext(data) > 0) {
    ASSERT_EQ(xybyget(&dp), 0);
    ASSERT_EQ(xyvget(site, 0), 0);
    ASSERT_EQ(xbysync(pd, data), 0);
    ASSERT_EQ(xbyrwnd(pd, 'b'), 0);
    pp = XO_PARMS{};
    pp.file = pd;
    by_site[cells[0]] = rows(&pp, [](XO_PARMS* p) { return xybyget(p); });
  }
  ASSERT_EQ(by_site.size(), 3u);
  EXPECT_EQ(by_site[1].size(), 2u);
  EXPECT_EQ(by_site[2], (std::vector<std::pair<std::string, double>>{{"a", 30.0}}));
  EXPECT_TRUE(by_site[3].empty());  // no values for this group
}

// Character BY values of different lengths match as if the shorter were
// padded with blanks, whichever data set has the longer variable.
TEST_F(ParameterDataSetTest, CharacterByValuesMatchAsIfPaddedWithBlanks) {
  const std::string head = "site,Parameter,Estimate\n";
  const std::string n = head + "n,a,1\n", n_na = head + "n,a,2\nna,a,3\n", na = head + "na,a,4\n";
  const struct {
    std::string leader, follower;
    std::vector<std::size_t> sizes;
  } cases[] = {{n_na, n, {1, 0}}, {n, n_na, {1}}, {n, na, {0}}};
  int k = 0;
  for (const auto& c : cases) {
    const std::string leader = "l" + std::to_string(k), follower = "f" + std::to_string(k++);
    write_file(leader + ".csv", c.leader);
    write_file(follower + ".csv", c.follower);
    XO_FILE* data = open_by(leader, platform::BySpec{{{"site"}}});
    XO_FILE* pd = open(follower);
    bind(pd);
    ASSERT_EQ(xbylist(data, pd), 0);
    std::vector<std::size_t> sizes;
    XO_PARMS dp{};
    dp.file = data;
    while (xbynext(data) > 0) {
      ASSERT_EQ(xybyget(&dp), 0);
      ASSERT_EQ(xbysync(pd, data), 0);
      ASSERT_EQ(xbyrwnd(pd, 'b'), 0);
      XO_PARMS pp{};
      pp.file = pd;
      sizes.push_back(rows(&pp, [](XO_PARMS* p) { return xybyget(p); }).size());
    }
    EXPECT_EQ(sizes, c.sizes) << c.leader << c.follower;
  }
}

TEST_F(ParameterDataSetTest, ByVariablesLackingOrOfAnotherType) {
  write_file("data.csv", "site,x\n1,0.5\n");
  write_file("nosite.csv", "Parameter,Estimate\na,1\n");
  write_file("charsite.csv", "site,Parameter,Estimate\nnorth,a,1\n");
  XO_FILE* data = open_by("data", platform::BySpec{{{"site"}}});
  EXPECT_EQ(xbylist(data, open("nosite")), 2);
  EXPECT_EQ(xbylist(data, open("charsite")), 1);
  EXPECT_NE(log_text().find("The BY variable site is numeric in the data set WORK.data but "
                            "character in the data set WORK.charsite."),
            std::string::npos);
}

TEST_F(ParameterDataSetTest, AnUnsortedParameterDataSetFailsTheSynchronisation) {
  write_file("data.csv", "site,x\n1,0.5\n3,0.7\n");
  write_file("pdata.csv", "site,Parameter,Estimate\n3,a,1\n1,a,2\n");
  XO_FILE* data = open_by("data", platform::BySpec{{{"site"}}});
  XO_FILE* pd = open("pdata");
  ASSERT_EQ(xbylist(data, pd), 0);
  ASSERT_EQ(xbynext(data), 1);
  EXPECT_EQ(xbysync(pd, data), 1);
  EXPECT_NE(log_text().find("The data set WORK.pdata is not in ascending order of site"),
            std::string::npos);
}

}  // namespace
