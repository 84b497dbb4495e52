// The own-account rule and its mark, the Safe Recipients rule, and a store that fails.
#include <gtest/gtest.h>

#include <array>

#include "core/classifier.h"
#include "core/classify_test_fixture.h"
#include "core/reason_text.h"
#include "lists/contact.h"

namespace quorvel {
namespace {

using mapi::memory::Call;
using testing_support::ClassifyFixture;
using testing_support::MessageSpec;

const std::string kOwnReason = FormatReason(kReasonOwnAccount, "Me Myself (Me@Home.example)");

class OwnAccountTest : public ClassifyFixture {
 protected:
  OwnAccountTest() {
    CompileTable({u"plain", u"words", u"ordinary", u"message", u"nothing", u"more", u"say",
                  u"about", u"the", u"weather"},
                 {});
    SettingsHolder::Locked live = settings_.Lock();
    live->sentSubjs.AddAddress(MakeContact("Weekly report"), "", 1);
  }

  // Mail that says it comes from the receiving account, over the Internet.
  static MessageSpec FromMyself(const char* subject) {
    MessageSpec spec;
    spec.senderAddress = "Me@Home.example";
    spec.senderName = "Me Myself";
    spec.subject = subject;
    spec.headers = "Received: from mx.home.example\r\n";
    return spec;
  }

  std::optional<std::int32_t> StoredMark() {
    std::shared_ptr<mapi::Message> message = Reopen(lastId_);
    const std::array<mapi::PropTag, 1> tags = {mapi::PR_OWN_MESSAGE_MARK};
    auto values = message->GetProps(tags);
    if (!values.ok() || values.value[0].AsLong() == nullptr) return std::nullopt;
    return *values.value[0].AsLong();
  }

  Verdict JudgeAgain() { return Classifier(Context()).Judge(Reopen(lastId_), kStandardFlags); }

  void ForgetSentSubjects() { settings_.Lock()->sentSubjs.Clear(); }
};

TEST_F(OwnAccountTest, ASentSubjectIsAcceptedOnceAndTheMarkDoesTheRest) {
  session_->faults().ResetCalls();
  const Verdict first = Judge(FromMyself("Weekly report"));
  EXPECT_FALSE(first.spam);
  EXPECT_EQ(first.reason, kOwnReason);
  EXPECT_EQ(StoredMark(), mapi::kOwnMessageMarkValue);

  // The subject is gone from the list; the mark alone accepts the message, and the
  // message is not written again.
  ForgetSentSubjects();
  session_->faults().ResetCalls();
  const Verdict again = JudgeAgain();
  EXPECT_EQ(again.reason, kOwnReason);
  EXPECT_EQ(session_->faults().Calls(Call::kSaveChanges, lastId_), 0u);
  EXPECT_EQ(session_->faults().Calls(Call::kSetProps, lastId_), 0u);
}

TEST_F(OwnAccountTest, TheMarkIsWrittenAndSavedOnce) {
  Deliver(FromMyself("Weekly report"));
  session_->faults().ResetCalls();
  EXPECT_EQ(JudgeAgain().reason, kOwnReason);
  EXPECT_EQ(session_->faults().Calls(Call::kSetProps, lastId_), 1u);
  EXPECT_EQ(session_->faults().Calls(Call::kSaveChanges, lastId_), 1u);
}

TEST_F(OwnAccountTest, MailWithoutTransportHeadersIsOwnMailAndGetsMarked) {
  MessageSpec spec = FromMyself("Anything at all");
  spec.headers.reset();
  EXPECT_EQ(Judge(spec).reason, kOwnReason);
  EXPECT_EQ(StoredMark(), mapi::kOwnMessageMarkValue);
}

TEST_F(OwnAccountTest, AForgedOwnAddressWithAnUnsentSubjectGoesOnAndSkipsTheWhiteList) {
  settings_.Lock()->whiteList.AddAddress(MakeContact("me@home.example"), "", 1);
  const Verdict verdict = Judge(FromMyself("Cheap pills"));
  EXPECT_TRUE(verdict.reason.starts_with("Bayesian Filter")) << verdict.reason;
  EXPECT_EQ(StoredMark(), std::nullopt);
}

TEST_F(OwnAccountTest, ASameNameWithAnotherAddressStillMeetsTheWhiteList) {
  settings_.Lock()->whiteList.AddAddress(MakeContact("other@else.example"), "", 1);
  MessageSpec spec = FromMyself("Cheap pills");
  spec.senderAddress = "other@else.example";
  spec.displayTo = "Me Myself";
  EXPECT_EQ(Judge(spec).reason, FormatReason(kReasonWhiteAddress, "other@else.example"));
}

TEST_F(OwnAccountTest, AnyOtherMarkValueIsNoMark) {
  MessageSpec spec = FromMyself("Cheap pills");
  Deliver(spec);
  std::shared_ptr<mapi::Message> message = Reopen(lastId_);
  const std::array<mapi::PropValue, 1> mark = {
      mapi::PropValue::Long(mapi::PR_OWN_MESSAGE_MARK, mapi::kOwnMessageMarkValue + 1)};
  ASSERT_EQ(message->SetProps(mark), mapi::S_OK);
  ASSERT_EQ(message->SaveChanges(0), mapi::S_OK);
  EXPECT_NE(JudgeAgain().reason, kOwnReason);
}

TEST_F(OwnAccountTest, AMarkThatCannotBeSavedLeavesTheVerdictAndNoMark) {
  for (Call failing : {Call::kSetProps, Call::kSaveChanges}) {
    SCOPED_TRACE(static_cast<int>(failing));
    session_->faults().Clear();
    Deliver(FromMyself("Weekly report"));
    session_->faults().Fail(failing, lastId_, mapi::MAPI_E_NO_ACCESS);
    EXPECT_EQ(JudgeAgain().reason, kOwnReason);
    session_->faults().Clear();
    EXPECT_EQ(StoredMark(), std::nullopt);
  }
}

TEST_F(OwnAccountTest, AnUnreadableRecipientTableStillLetsTheOwnAccountTestRun) {
  settings_.Lock()->safeRecipients.AddAddress(MakeContact("list@safe.example"), "", 1);
  MessageSpec spec = FromMyself("Weekly report");
  spec.recipients = {{"list@safe.example", "List"}};
  EXPECT_EQ(Judge(spec).reason, FormatReason(kReasonSafeRecipient, "list@safe.example"));

  session_->faults().Fail(Call::kGetRecipientTable, lastId_, mapi::MAPI_E_CALL_FAILED);
  EXPECT_EQ(JudgeAgain().reason, kOwnReason);
}

TEST_F(OwnAccountTest, AStoreThatFailsEveryReadGivesANonEmailVerdict) {
  Deliver(FromMyself("Weekly report"));
  session_->faults().Fail(Call::kGetProps, lastId_, mapi::MAPI_E_CALL_FAILED);
  const Verdict verdict = JudgeAgain();
  EXPECT_FALSE(verdict.spam);
  EXPECT_EQ(verdict.reason, FormatReason(kReasonNotEmailItem));
}

TEST_F(OwnAccountTest, WithoutAttachmentInformationNoAttachmentRuleFires) {
  MessageSpec spec;
  spec.body = " \r\n";
  spec.attachments = {{"deleted attachment.txt"}, {"run.exe"}};
  EXPECT_EQ(Judge(spec).reason, FormatReason(kReasonAvReport));

  session_->faults().Fail(Call::kGetAttachmentTable, lastId_, mapi::MAPI_E_CALL_FAILED);
  // No report, no executable, and a blank body with count -1 is not "empty": the
  // Bayesian filter has too little to go on.
  EXPECT_EQ(JudgeAgain().reason, FormatReason(kReasonBayesTooLittle));
}

}  // namespace
}  // namespace quorvel
