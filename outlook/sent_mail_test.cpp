#include "outlook/sent_mail.h"

#include <gtest/gtest.h>

#include "lists/contact.h"

namespace quorvel::outlook {
namespace {

using mapi::PropValue;

TEST(SentMailTest, RecipientColumnsInEitherWidthTheLaterWinning) {
  mapi::RowSet rows = {
      {PropValue::String8(mapi::PR_DISPLAY_NAME, "Bob"),
       PropValue::String8(mapi::PR_EMAIL_ADDRESS, "old@example.com"),
       PropValue::Unicode(mapi::PR_EMAIL_ADDRESS_W, u"bob@example.com")},
      {PropValue::Unicode(mapi::PR_DISPLAY_NAME_W, u"Zo\u00eb"),
       PropValue::Error(mapi::PR_EMAIL_ADDRESS)},
  };
  auto recipients = SentMailRecorder::RecipientsOf(rows);
  ASSERT_EQ(recipients.size(), 2u);
  EXPECT_EQ(recipients[0].address, "bob@example.com");
  EXPECT_EQ(recipients[0].name, "Bob");
  EXPECT_EQ(recipients[1].address, "");
  EXPECT_EQ(recipients[1].name, "Zo\xEB");
}

TEST(SentMailTest, WritesAreRecordedOnlyWithAutoAddToWhiteList) {
  platform::FakeClock clock;
  SettingsHolder settings;
  SentMailRecorder recorder(settings, clock);
  std::vector<SentRecipient> recipients = {{"bob@example.com", "Bob"}, {"  ", "Blank"}};

  settings.Lock()->autoAddToWhiteList = 0;
  recorder.RecordWrite(recipients, "Plans");
  EXPECT_EQ(settings.Lock()->sentSubjs.Find(MakeContact("Plans")), std::nullopt);

  settings.Lock()->autoAddToWhiteList = 1;
  recorder.RecordWrite(recipients, "Plans");
  auto live = settings.Lock();
  auto bob = live->whiteList.Find(MakeContact("bob@example.com"));
  ASSERT_TRUE(bob);
  EXPECT_TRUE(live->sentSubjs.Find(MakeContact("Plans")));
  EXPECT_EQ(live->whiteList.Find(MakeContact("")), std::nullopt);
}

TEST(SentMailTest, OwnNamesAreNamesNotAddresses) {
  platform::FakeClock clock;
  SettingsHolder settings;
  SentMailRecorder recorder(settings, clock);
  recorder.RecordOwnName("Me at Work");
  recorder.RecordOwnName("me@work.example");
  recorder.RecordOwnName("");
  auto live = settings.Lock();
  EXPECT_TRUE(live->sentFromNames.Find(MakeContact("Me at Work")));
  EXPECT_FALSE(live->sentFromNames.Find(MakeContact("me@work.example")));
}

}  // namespace
}  // namespace quorvel::outlook
