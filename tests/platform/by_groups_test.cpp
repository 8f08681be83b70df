// BY groups of an input data set: grouping, order checks, rewinding and
// the read status that ends a pass.
#include <gtest/gtest.h>

#include <bit>
#include <regex>

#include "dataset_fixture.h"
#include "host/missing.h"

namespace {

using platform::BySpec;
using Rows = std::vector<std::vector<double>>;

class ByGroupTest : public DataSetTest {
 protected:
  // Every group of `file` as rows of the variables `names`.
  std::vector<Rows> all_groups(XO_FILE* file, const std::vector<std::string>& names) {
    std::vector<double> cells;
    XV_VECTOR* v = bind_numbers(file, names, &cells);
    std::vector<Rows> groups;
    while (xbynext(file) > 0) groups.push_back(read_group(file, v, cells));
    return groups;
  }
};

TEST_F(ByGroupTest, AscendingGroupsPutMissingValuesFirstInTheirOwnOrder) {
  write_file("a.csv", "g,x\n._,1\n.,2\n.,3\n.B,4\n-1,5\n2,6\n2,7\n");
  XO_FILE* f = open_by("a", BySpec{{{"g"}}});
  ASSERT_NE(f, nullptr);
  std::vector<Rows> groups = all_groups(f, {"x"});
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_EQ(groups[0], (Rows{{1}}));
  EXPECT_EQ(groups[1], (Rows{{2}, {3}}));
  EXPECT_EQ(groups[2], (Rows{{4}}));
  EXPECT_EQ(groups[3], (Rows{{5}}));
  EXPECT_EQ(groups[4], (Rows{{6}, {7}}));
  EXPECT_EQ(xbynext(f), 0);  // and stays at the end
  EXPECT_EQ(xbynext(f), 0);
}

TEST_F(ByGroupTest, DescendingAndSecondKeysAndCharacterValues) {
  // s descending, then t ascending; "b" and "b  " are the same value.
  write_file("d.csv", "s,t,x\nb,1,1\n\"b  \",1,2\nb,2,3\na,.,4\na,0,5\n");
  XO_FILE* f = open_by("d", BySpec{{{"s", true}, {"t", false}}});
  ASSERT_NE(f, nullptr);
  std::vector<Rows> groups = all_groups(f, {"x"});
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0], (Rows{{1}, {2}}));
  EXPECT_EQ(groups[3], (Rows{{5}}));
  EXPECT_EQ(log_text().find("ERROR"), std::string::npos);
}

// The current group as the BY line shows it (input information item 96);
// empty before the first group or without BY variables.
TEST_F(ByGroupTest, TextOfTheCurrentGroup) {
  write_file("t.csv", "s,t,x\n\"b  \",1.5,1\na,.,2\n");
  XO_FILE* f = open_by("t", BySpec{{{"s", true}, {"t", false}}});
  auto text_of = [](XO_FILE* file) {
    XO_BYGROUP group{};
    EXPECT_EQ(xoinfo(file, kXoByGroupText, &group), 0);
    return std::string(group.text);
  };
  EXPECT_EQ(text_of(f), "");
  ASSERT_EQ(xbynext(f), 1);
  EXPECT_EQ(text_of(f), "s=b t=1.5");
  ASSERT_EQ(xbynext(f), 1);
  EXPECT_EQ(text_of(f), "s=a t=.");
  // Numbers that 16 columns would show alike show whole.
  write_file("v.csv", "t,x\n0.3,1\n0.30000000000000004,2\n123456789012345678,3\n");
  XO_FILE* v = open_by("v", BySpec{{{"t"}}});
  for (const char* shown : {"t=0.3", "t=0.30000000000000004", "t=123456789012345680"}) {
    ASSERT_EQ(xbynext(v), 1);
    EXPECT_EQ(text_of(v), shown);
  }
  // A text too long for the record keeps its start and end, in whole
  // characters and escapes.
  std::string e_acute;
  for (int i = 0; i < 200; ++i) e_acute += "\xC3\xA9";
  write_file("w.csv", "t,x\n" + e_acute + std::string(40, '\x07') + "z,1\n");
  XO_FILE* w = open_by("w", BySpec{{{"t"}}});
  ASSERT_EQ(xbynext(w), 1);
  const std::string shortened = text_of(w);
  EXPECT_LE(shortened.size(), 255u);
  EXPECT_TRUE(std::regex_match(shortened, std::regex("t=(\xC3\xA9)+ \\.\\.\\. (\\\\x07)+z"))) << shortened;
  write_file("u.csv", "x\n1\n");
  XO_FILE* u = open_by("u", BySpec{});
  ASSERT_EQ(xbynext(u), 1);
  EXPECT_EQ(text_of(u), "");
}

TEST_F(ByGroupTest, NotsortedGroupsAreRunsOfEqualValues) {
  write_file("n.csv", "g,x\n2,1\n2,2\n1,3\n2,4\n");
  XO_FILE* f = open_by("n", BySpec{{{"g"}}, true});
  std::vector<Rows> groups = all_groups(f, {"x"});
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[2], (Rows{{4}}));
}

TEST_F(ByGroupTest, NoByVariablesIsOneGroupAndAnEmptyDataSetHasNone) {
  write_file("one.csv", "x\n1\n2\n3\n");
  write_file("empty.csv", "x,y\n");
  std::vector<Rows> groups = all_groups(open("one"), {"x"});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].size(), 3u);
  XO_FILE* e = open_by("empty", BySpec{{{"y"}}});
  EXPECT_EQ(xbynext(e), 0);
}

TEST_F(ByGroupTest, RewindAndRereadGiveTheSameRecords) {
  write_file("r.csv", "g,x\n1,10\n1,11\n2,20\n2,21\n2,22\n");
  XO_FILE* f = open_by("r", BySpec{{{"g"}}});
  std::vector<double> cells;
  XV_VECTOR* v = bind_numbers(f, {"x"}, &cells);
  ASSERT_EQ(xbynext(f), 1);
  ASSERT_EQ(xbynext(f), 1);
  auto pass = [&] {
    std::vector<const void*> records;
    XO_PARMS parms{};
    parms.file = f;
    EXPECT_EQ(xbyrwnd(f, 'b'), 0);
    while (xybyget(&parms) == 0 && f->current) {
      EXPECT_EQ(parms.record, f->current);
      records.push_back(f->current);
    }
    return records;
  };
  std::vector<const void*> first = pass();
  std::vector<const void*> second = pass();
  EXPECT_EQ(first.size(), 3u);
  EXPECT_EQ(first, second);
  ASSERT_EQ(xbyrwnd(f, 'b'), 0);
  EXPECT_EQ(read_group(f, v, cells), (Rows{{20}, {21}, {22}}));
  // After a pass, the last record read is information item 18.
  const void* last = nullptr;
  EXPECT_EQ(xoinfo(f, 18, &last), 0);
  EXPECT_EQ(last, first.back());
}

// An out-of-order data set stops the BY loop with a message that names the
// data set, the variable and the observations, and fails the step.
int g_groups_seen = 0;
int g_last_next = 0;
void by_loop_over_unsorted() {
  XO_FILE* f = platform::Host::current().datasets().open_input("u");
  platform::Host::current().datasets().set_by(f, BySpec{{{"g"}}});
  g_groups_seen = 0;
  while ((g_last_next = xbynext(f)) > 0) ++g_groups_seen;
}

TEST_F(ByGroupTest, OutOfOrderRecordEndsTheGroupsWithAClearError) {
  write_file("u.csv", "g,x\n1,1\n3,2\n3,3\n2,4\n4,5\n");
  int rc = run_as_step(&by_loop_over_unsorted);
  EXPECT_EQ(g_groups_seen, 2);
  EXPECT_EQ(g_last_next, -1);
  EXPECT_EQ(rc, 1012);
  EXPECT_NE(log_text().find("ERROR: The data set WORK.u is not in ascending order of g: "
                            "observation 4 (2) follows observation 3 (3)."),
            std::string::npos)
      << log_text();
}

TEST_F(ByGroupTest, DescendingOrderBrokenByAnAscendingPair) {
  write_file("v.csv", "g\n3\n1\n2\n");
  XO_FILE* f = open_by("v", BySpec{{{"g", true}}});
  EXPECT_EQ(xbynext(f), 1);
  EXPECT_EQ(xbynext(f), 1);
  EXPECT_EQ(xbynext(f), -1);
  EXPECT_NE(log_text().find("not in descending order of g: observation 3 (2) follows "
                            "observation 2 (1)"),
            std::string::npos);
  write_file("w.csv", "s\nb\n\"a  \"\n");  // texts are quoted, without their trailing blanks
  XO_FILE* w = open_by("w", BySpec{{{"s"}}});
  EXPECT_EQ(xbynext(w), 1);
  EXPECT_EQ(xbynext(w), -1);
  EXPECT_NE(log_text().find("not in ascending order of s: observation 2 (\"a\") follows observation 1 (\"b\")"),
            std::string::npos)
      << log_text();
}

TEST_F(ByGroupTest, AReadErrorLeavesNoRecordCurrentAndIsReported) {
  write_file("e.csv", "g,x\n1,1\n1,2\n");
  XO_FILE* f = open_by("e", BySpec{{{"g"}}});
  XO_PARMS parms{};
  parms.file = f;
  // Before any group: a failure status, never a record.
  int status = xybyget(&parms);
  EXPECT_NE(status, 0);
  EXPECT_EQ(f->current, nullptr);
  EXPECT_EQ(parms.record, nullptr);
  EXPECT_TRUE(f->flags & kXoError);
  EXPECT_TRUE(parms.flags & kXoFailed);
  xofprc(&parms, status, 1);
  EXPECT_NE(log_text().find("ERROR: Reading the data set WORK.e failed: No BY group is current"),
            std::string::npos)
      << log_text();
  // A failure in mid-group does not leave the previous record to be used again.
  ASSERT_EQ(xbynext(f), 1);
  ASSERT_EQ(xybyget(&parms), 0);
  ASSERT_NE(f->current, nullptr);
  host().datasets().set_by(f, BySpec{{{"g"}}});  // the group is gone
  EXPECT_NE(xybyget(&parms), 0);
  EXPECT_EQ(f->current, nullptr);
  // The end of a group is status 0 with no record.
  ASSERT_EQ(xbynext(f), 1);
  while (xybyget(&parms) == 0 && f->current) {
  }
  EXPECT_EQ(f->current, nullptr);
  EXPECT_FALSE(f->flags & kXoError);
}

TEST_F(ByGroupTest, MissingByVariableIsReported) {
  write_file("m.csv", "g,x\n1,1\n");
  EXPECT_EQ(open_by("m", BySpec{{{"h"}}}), nullptr);
  EXPECT_NE(log_text().find("The BY variable h is not in the data set WORK.m."), std::string::npos);
}

}  // namespace
