// The method dispatcher over hand-built class tables.
#include <gtest/gtest.h>

#include <vector>

#include "host/object_methods.h"

namespace {

struct Call {
  int method;
  WOB_OBJ_STR* obj;
  void* mcoh;
  std::int32_t id, np;
  WOB_PARM_BLK_STR* pb;
};
std::vector<Call> g_calls;

template <int N>
std::int32_t method(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  g_calls.push_back({N, obj, mcoh, id, np, pb});
  return N;
}

// A class with four buckets (mask 3) whose entries are chained in the order given.
struct TestClass {
  WOB_MA_TBL_STR table{};
  WOB_EXPRESS_STR* buckets[4] = {};
  std::vector<WOB_EXPRESS_STR> links;
  std::vector<WOB_ENT_STR> entries;

  TestClass(std::vector<std::pair<int, WobMethod>> methods, WOB_MA_TBL_STR* super) {
    links.resize(methods.size());
    entries.resize(methods.size());
    for (std::size_t i = 0; i < methods.size(); ++i) {
      entries[i].func = methods[i].second;
      entries[i].id = 1000 + methods[i].first;
      links[i].id = methods[i].first;
      links[i].ent = &entries[i];
      links[i].mcoh = &entries[i];
      WOB_EXPRESS_STR*& head = buckets[methods[i].first & 3];
      links[i].next = head;
      head = &links[i];
    }
    table.super = super;
    table.mth_tbl = buckets;
    table.mth_mask = 3;
  }
};

TEST(WobmthTest, FindsTheMethodInTheObjectsClassAndPassesEverythingOn) {
  TestClass base({{6, &method<60>}}, nullptr);
  TestClass own({{1, &method<10>}, {5, &method<50>}}, &base.table);  // 1 and 5 share bucket 1
  WOB_OBJ_STR obj{&own.table, nullptr, nullptr, nullptr};
  WOB_PARM_BLK_STR pb[2] = {wob_int(7, 1), wob_int(8, 2)};
  g_calls.clear();
  EXPECT_EQ(wobmth(&obj, nullptr, 5, 2, pb), 50);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].obj, &obj);
  EXPECT_EQ(g_calls[0].mcoh, &own.entries[1]);
  EXPECT_EQ(g_calls[0].id, 1005);
  EXPECT_EQ(g_calls[0].np, 2);
  EXPECT_EQ(g_calls[0].pb, pb);
  // Only the entry whose id is the selector answers in a shared bucket.
  EXPECT_EQ(wobmth(&obj, nullptr, 1, 0, nullptr), 10);
  // A selector of the super class only is found there.
  EXPECT_EQ(wobmth(&obj, nullptr, 6, 0, nullptr), 60);
  // A selector of neither class, or no object: the dispatcher's code, no call.
  EXPECT_EQ(wobmth(&obj, nullptr, 9, 0, nullptr), kWobNoMethod);
  EXPECT_EQ(wobmth(nullptr, nullptr, 1, 0, nullptr), kWobNoMethod);
  EXPECT_EQ(g_calls.size(), 3u);
}

TEST(WobmthTest, SubclassEntryHidesTheSuperClassEntryUnlessAClassIsGiven) {
  TestClass base({{2, &method<20>}}, nullptr);
  TestClass own({{2, &method<21>}}, &base.table);
  WOB_OBJ_STR obj{&own.table, nullptr, nullptr, nullptr};
  g_calls.clear();
  EXPECT_EQ(wobmth(&obj, nullptr, 2, 0, nullptr), 21);
  EXPECT_EQ(wobmth(&obj, &base.table, 2, 0, nullptr), 20);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].obj, &obj);  // the object is passed on, not the class
}

TEST(WobmthTest, GroupEndsThroughTheFourthFastPathWithCodeFour) {
  TestClass group({}, nullptr);
  WOB_ENT_STR end{&method<40>, {nullptr}, 0, 0, 0};
  int data = 0;
  group.table.zoom[3] = {&end, &data};
  WOB_OBJ_STR obj{&group.table, nullptr, nullptr, nullptr};
  g_calls.clear();
  EXPECT_EQ(wob_end_group(&obj), 40);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].mcoh, &data);
  EXPECT_EQ(g_calls[0].id, 4);
  EXPECT_EQ(g_calls[0].np, 0);
  EXPECT_EQ(g_calls[0].pb, nullptr);
  TestClass plain({}, nullptr);
  WOB_OBJ_STR no_end{&plain.table, nullptr, nullptr, nullptr};
  EXPECT_EQ(wob_end_group(&no_end), kWobNoMethod);
  EXPECT_EQ(wob_end_group(nullptr), kWobNoMethod);
}

}  // namespace
