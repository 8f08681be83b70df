// The host's statement records built from parsed statements: keyword,
// option bits and every kind of field, in pool memory; a pool without room
// gives no records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/name_list.h"
#include "platform/datasets/registry.h"
#include "platform/libraries.h"
#include "platform/statement_record_builder.h"
#include "support/host_fixture.h"

namespace {

using namespace platform;

language::ProcStatement statement_with_every_field() {
  language::ProcStatement st;
  st.keyword = "OUTPUT";
  st.bits.set(3);
  st.bits.set(200);
  auto field = [&st](int k, char type) -> language::FieldValue& {
    st.fields[k].type = type;
    return st.fields[k];
  };
  field(0, stfield::kNumber).number = 2.5;
  field(1, stfield::kKeyword).keyword = "MARQUARDT";
  field(2, stfield::kText).text = "a title";
  field(3, stfield::kIntegers).integers = {1, 0, 1};
  field(4, stfield::kNumbers).numbers = {0.5, -1.25};
  field(5, stfield::kNames).names = {"x", "longer_name"};
  field(40, 'Z');  // a kind the records do not have reads as not given
  return st;
}

class StatementRecordsTest : public HostTest {
 protected:
  Libraries libraries_;
  DataSets data_sets_{libraries_};
};

TEST_F(StatementRecordsTest, EveryKindOfFieldLandsInPoolMemory) {
  Pool pool;
  STMT* head = nullptr;
  ASSERT_EQ(build_stmt_records({statement_with_every_field()}, pool, data_sets_, &head), RecordsResult::Ok);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->next, nullptr);
  EXPECT_EQ(std::string(head->name, 8), "OUTPUT  ");
  EXPECT_TRUE(stmt_bit(head, 3));
  EXPECT_TRUE(stmt_bit(head, 200));
  EXPECT_FALSE(stmt_bit(head, 4));
  EXPECT_EQ(head->nfld, 41);
  EXPECT_EQ(stmt_field(head, 0)->v.fval, 2.5);
  EXPECT_EQ(std::string(stmt_field(head, 1)->v.nval, 8), "MARQUARD");
  const FIELDSTR& text = stmt_field(head, 2)->v.f;
  EXPECT_EQ(std::string(text.u.cval, static_cast<std::size_t>(text.n)), "a title");
  const FIELDSTR& ints = stmt_field(head, 3)->v.f;
  EXPECT_EQ(std::vector<int>(ints.u.ilist, ints.u.ilist + ints.n), (std::vector<int>{1, 0, 1}));
  const FIELDSTR& numbers = stmt_field(head, 4)->v.f;
  EXPECT_EQ(std::vector<double>(numbers.u.flist, numbers.u.flist + numbers.n), (std::vector<double>{0.5, -1.25}));
  const char* name = nullptr;
  int length = 0;
  ASSERT_EQ(zgetnmr(stmt_field(head, 5)->v.f.u.nlistx, 1, &name, &length), 0);
  EXPECT_EQ(std::string(name, static_cast<std::size_t>(length)), "longer_name");
  EXPECT_EQ(stmt_field(head, 39), nullptr);
  EXPECT_EQ(stmt_field(head, 40), nullptr);
}

TEST_F(StatementRecordsTest, APoolWithoutRoomGivesNoRecords) {
  Pool pool(64);
  STMT* head = nullptr;
  EXPECT_EQ(build_stmt_records({statement_with_every_field()}, pool, data_sets_, &head), RecordsResult::NoRoom);
  EXPECT_EQ(head, nullptr);
}

}  // namespace
