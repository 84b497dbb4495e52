#include "core/address.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/memory/memory_session.h"
#include "mapi/queries.h"

namespace quorvel {
namespace {

using mapi::PropValue;

TEST(SamePersonTest, ComparesNamesAndAddressesWithoutCase) {
  struct Case {
    const char* what;
    Identity a;
    Identity b;
    bool same;
    bool strictlySame;
  };
  const Case cases[] = {
      {"address differs only in case, names differ",
       {"Me@Example.org", "Me"},
       {"me@example.ORG", "Someone"},
       true,
       true},
      {"name of one is the other's address",
       {"other@x.org", "me@example.org"},
       {"ME@example.org", "Me Myself"},
       true,
       false},
      {"address of one is the other's name",
       {"me@example.org", "Me"},
       {"other@x.org", "ME@EXAMPLE.ORG"},
       true,
       false},
      {"same names, different addresses",
       {"a@x.org", "Jane Doe"},
       {"b@y.org", "jane doe"},
       true,
       false},
      {"both names empty", {"a@x.org", ""}, {"b@y.org", ""}, true, false},
      {"nothing in common", {"a@x.org", "A"}, {"b@y.org", "B"}, false, false},
      {"empty address is nobody", {"", "Me"}, {"me@x.org", "Me"}, false, false},
      {"empty address on the other side", {"me@x.org", ""}, {"", ""}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SamePerson(c.a, c.b, false), c.same);
    EXPECT_EQ(SamePerson(c.a, c.b, true), c.strictlySame);
  }
}

TEST(MakeIdentityTest, TrimsBothParts) {
  const Identity id = MakeIdentity(" <a@x.org>\r\n", "'\"Jane\"' ");
  EXPECT_EQ(id.address, "<a@x.org>");
  EXPECT_EQ(id.name, "Jane");
}

TEST(DisplayFormTest, AddressPartAndNameForm) {
  EXPECT_EQ(DisplayForm("/o=Acme/ou=Site/cn=Recipients/cn=JSmith", "John Smith", false),
            "John Smith (jsmith/Acme)");
  EXPECT_EQ(DisplayForm("/o=Acme/ou=Site/cn=Recipients/CN=Bob", "", true), "bob/Acme");
  EXPECT_EQ(DisplayForm("Jane@Example.org", "Jane", true), "Jane@Example.org");
  EXPECT_EQ(DisplayForm("jsmith", "", true), "");
  EXPECT_EQ(DisplayForm("jsmith", "John", false), "John ()");
}

TEST(FirstAddressTest, TakesTheRunAroundTheFirstAt) {
  struct Case {
    const char* text;
    const char* address;
  };
  const Case cases[] = {
      {"no address here", ""},
      {"", ""},
      {"@", "@"},
      {"word,john@example.org rest", "john@example.org"},
      {"Delivery to <John.Doe@Example.org> failed", "John.Doe@Example.org"},
      {"mail me at jane@example.org.", "jane@example.org."},
      {"first a@b.c then x@y.z", "a@b.c"},
      {"o'brien+tag@x-y.org{}", "o'brien+tag@x-y.org{}"},
      {"t\xE9@caf\xE9.fr", "@caf"},  // bytes of 128 and above stop the run
      {"a@b@c", "a@b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FirstAddress(c.text), c.address);
  }
  EXPECT_EQ(FirstAddress(std::string("x@y\0z", 5)), "x@y");
}

class CollectRecipientsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = mapi::memory::MemorySession::Create();
    const auto layout = session_->AddStore({.isDefault = true});
    auto inbox = session_->OpenEntry(layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
    ASSERT_TRUE(inbox);
    message_ = *inbox->CreateMessage(mapi::memory::kDeliverAsNewMail);
    ASSERT_TRUE(message_);
  }

  void AddRecipients(const mapi::RowSet& rows) {
    ASSERT_EQ(message_->ModifyRecipients(mapi::MODRECIP_ADD, rows), mapi::S_OK);
    ASSERT_EQ(message_->SaveChanges(mapi::KEEP_OPEN_READWRITE), mapi::S_OK);
  }

  std::shared_ptr<mapi::memory::MemorySession> session_;
  std::shared_ptr<mapi::Message> message_;
};

std::vector<std::string> Describe(const std::vector<Identity>& ids) {
  std::vector<std::string> out;
  for (const Identity& id : ids) out.push_back(id.address + "|" + id.name);
  return out;
}

TEST_F(CollectRecipientsTest, EveryRecipientWithAnAddressInTableOrder) {
  AddRecipients({
      {PropValue::ULong(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_TO),
       PropValue::String8(mapi::PR_DISPLAY_NAME, " 'Ann' "),
       PropValue::String8(mapi::PR_EMAIL_ADDRESS, "\"ann@example.com\"")},
      {PropValue::ULong(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_CC),
       PropValue::String8(mapi::PR_DISPLAY_NAME, "No Address")},
      {PropValue::ULong(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_BCC),
       PropValue::String8(mapi::PR_EMAIL_ADDRESS, "/o=Acme/ou=Site/cn=Recipients/cn=bob")},
      {PropValue::ULong(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_TO),
       PropValue::String8(mapi::PR_DISPLAY_NAME, "Blank"),
       PropValue::String8(mapi::PR_EMAIL_ADDRESS, "  ")},
  });
  const auto recipients = CollectRecipients(*message_);
  ASSERT_TRUE(recipients.ok());
  EXPECT_EQ(
      Describe(*recipients),
      (std::vector<std::string>{"ann@example.com|Ann", "/o=Acme/ou=Site/cn=Recipients/cn=bob|"}));
}

TEST_F(CollectRecipientsTest, EmptyTableGivesEmptyList) {
  const auto recipients = CollectRecipients(*message_);
  ASSERT_TRUE(recipients.ok());
  EXPECT_TRUE(recipients->empty());
}

TEST_F(CollectRecipientsTest, TableFailuresGiveTheirCodeAndNoRecipients) {
  AddRecipients({{PropValue::String8(mapi::PR_EMAIL_ADDRESS, "ann@example.com")}});
  const mapi::EntryId id = mapi::HrGetOneProp(*message_, mapi::PR_ENTRYID)->AsEntryId();
  for (mapi::memory::Call call :
       {mapi::memory::Call::kGetRecipientTable, mapi::memory::Call::kSetColumns,
        mapi::memory::Call::kQueryRows}) {
    SCOPED_TRACE(static_cast<int>(call));
    session_->faults().Clear();
    session_->faults().Fail(call, id, mapi::MAPI_E_NOT_ENOUGH_MEMORY);
    const auto recipients = CollectRecipients(*message_);
    EXPECT_EQ(recipients.hr, mapi::MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(recipients.value.empty());
  }
}

}  // namespace
}  // namespace quorvel
