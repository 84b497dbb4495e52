#include "mapi/row_table.h"

#include <gtest/gtest.h>

#include "mapi/queries.h"

namespace quorvel::mapi {
namespace {

std::vector<std::vector<PropValue>> Messages(int count) {
  std::vector<std::vector<PropValue>> rows;
  for (int i = 0; i < count; ++i) {
    std::vector<PropValue> row = {PropValue::Long(PR_MESSAGE_FLAGS, i % 4 == 0 ? 0 : MSGFLAG_READ),
                                  PropValue::String8(PR_SUBJECT, "s" + std::to_string(i))};
    if (i % 10 == 0) row.push_back(PropValue::Long(PR_ATTACH_NUM, i));
    if (i == 5) row[0] = PropValue::Long(PR_MESSAGE_FLAGS, MSGFLAG_ASSOCIATED);
    rows.push_back(std::move(row));
  }
  return rows;
}

TEST(RowTableTest, BatchesUntilAnEmptyOneAndMissingColumnsAsErrors) {
  RowTable table(Messages(300), {PR_SUBJECT});
  PropTag columns[] = {PR_SUBJECT, PR_SENDER_NAME};
  ASSERT_EQ(table.SetColumns(columns, 0), S_OK);
  std::vector<std::size_t> batches;
  for (;;) {
    auto rows = table.QueryRows(128, 0);
    ASSERT_TRUE(rows.ok());
    if (rows->empty()) break;
    batches.push_back(rows->size());
    EXPECT_EQ(rows->front()[1].tag, PROP_TAG(PT_ERROR, PROP_ID(PR_SENDER_NAME)));
  }
  EXPECT_EQ(batches, (std::vector<std::size_t>{128, 128, 44}));
}

TEST(RowTableTest, RestrictionsSelectRows) {
  struct Case {
    const char* what;
    Restriction restriction;
    std::uint32_t expected;
  };
  const Case cases[] = {
      // Unread and not associated: bit mask 0x41 equal to zero.
      {"unread", Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, 0x41), 20},
      {"read", Restriction::Bitmask(BMR_NEZ, PR_MESSAGE_FLAGS, MSGFLAG_READ), 59},
      {"equal", Restriction::Property(RELOP_EQ, PropValue::String8(PR_SUBJECT, "s7")), 1},
      {"exists", Restriction::Exist(PR_ATTACH_NUM), 8},
      {"not", Restriction::Not(Restriction::Exist(PR_ATTACH_NUM)), 72},
      {"and",
       Restriction::And({Restriction::Exist(PR_ATTACH_NUM),
                         Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, 0x41)}),
       4},
      {"or",
       Restriction::Or({Restriction::Exist(PR_ATTACH_NUM),
                        Restriction::Property(RELOP_EQ, PropValue::String8(PR_SUBJECT, "s5"))}),
       9},
      {"type mismatch", Restriction::Property(RELOP_EQ, PropValue::Long(PR_SUBJECT, 7)), 0},
      {"missing property", Restriction::Bitmask(BMR_EQZ, PR_ATTACH_FLAGS, 1), 0},
  };
  for (const auto& c : cases) {
    RowTable table(Messages(80), {PR_SUBJECT});
    ASSERT_EQ(table.Restrict(c.restriction, 0), S_OK);
    EXPECT_EQ(*table.GetRowCount(0), c.expected) << c.what;
    auto all = HrQueryAllRows(table, {}, std::nullopt);
    EXPECT_EQ(all->size(), c.expected) << c.what;
  }
}

TEST(RowTableTest, SeekAndNoAdvance) {
  RowTable table(Messages(10), {PR_SUBJECT});
  EXPECT_EQ(*table.SeekRow(BOOKMARK_END, -3), -3);
  auto peek = table.QueryRows(5, TBL_NOADVANCE);
  ASSERT_EQ(peek->size(), 3u);
  EXPECT_EQ(*peek->front()[0].AsString8(), "s7");
  EXPECT_EQ(table.QueryRows(5, 0)->size(), 3u);
  EXPECT_TRUE(table.QueryRows(5, 0)->empty());
  EXPECT_EQ(*table.SeekRow(BOOKMARK_BEGINNING, 100), 10);  // clamped
  EXPECT_EQ(table.QueryRows(0, 0).hr, MAPI_E_INVALID_PARAMETER);
}

TEST(RowTableTest, HookFailuresReachTheCaller) {
  int queries = 0;
  RowTable table(Messages(300), {PR_SUBJECT}, [&](RowTable::Op op) {
    if (op == RowTable::Op::kQueryRows && ++queries == 2) return MAPI_E_NOT_ENOUGH_MEMORY;
    return S_OK;
  });
  EXPECT_EQ(HrQueryAllRows(table, {}, std::nullopt).hr, MAPI_E_NOT_ENOUGH_MEMORY);
}

TEST(RowTableTest, HrQueryAllRowsHonoursTheRowLimit) {
  RowTable table(Messages(10), {PR_SUBJECT});
  EXPECT_EQ(HrQueryAllRows(table, {}, std::nullopt, 5).hr, MAPI_E_TABLE_TOO_BIG);
  EXPECT_EQ(HrQueryAllRows(table, {}, std::nullopt, 10)->size(), 10u);
}

}  // namespace
}  // namespace quorvel::mapi
