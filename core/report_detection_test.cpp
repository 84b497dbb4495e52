#include "core/report_detection.h"

#include <gtest/gtest.h>

#include "core/classify_test_fixture.h"
#include "core/reason_text.h"
#include "lists/contact.h"

namespace quorvel {
namespace {

using testing_support::ClassifyFixture;
using testing_support::MessageSpec;

TEST(ReportedAddressTest, BodyFirstThenTheLastToOfTheHeaders) {
  EXPECT_EQ(ReportedAddress("could not reach <bob@x.example>.", "To: carol@y.example"),
            "bob@x.example");
  EXPECT_EQ(ReportedAddress("no address", "To: first@a.example\r\nTo: last@b.example\r\n"),
            "last@b.example");
  EXPECT_EQ(ReportedAddress("", "to: lower@a.example"), "");  // "To:" is case-sensitive
  EXPECT_EQ(ReportedAddress("", "To:"), "");
  EXPECT_EQ(ReportedAddress("", ""), "");
}

class ReportDetectionTest : public ClassifyFixture {
 protected:
  ReportDetectionTest() {
    SettingsHolder::Locked live = settings_.Lock();
    live->whiteList.AddAddress(MakeContact("friend@white.example"), "", 1);
    live->whiteList.AddDomain(MakeContact("@whitedomain.example"));
    live->whiteList.AddDomain(MakeContact("@trusted-mx.example"));
  }

  static MessageSpec Bounce(const char* sender, const char* subject, const char* body) {
    MessageSpec spec;
    spec.senderAddress = sender;
    spec.subject = subject;
    spec.body = body;
    return spec;
  }
};

TEST_F(ReportDetectionTest, GenuineAndSuspiciousReports) {
  const std::string genuine = FormatReason(kReasonDeliveryReport);
  const std::string suspicious = FormatReason(kReasonSuspiciousReport);
  struct Case {
    const char* story;
    MessageSpec spec;
    std::string reason;
  };
  MessageSpec ndr = Bounce("someone@x.example", "Hello", "To friend@white.example: failed");
  ndr.messageClass = "report.ipm.note.ndr";
  MessageSpec details = Bounce("postmaster@x.example", "Out of office", "no address here");
  details.attachments = {{"DETAILS.TXT"}};
  details.headers = "To: stranger@x.example\r\nX: y\r\nTo: friend@white.example\r\n";
  MessageSpec noDetails = details;
  noDetails.attachments.clear();
  const Case cases[] = {
      {"lower-case NDR class about a White List address", ndr, genuine},
      {"details.txt makes a report; the last To: names a White List address", details, genuine},
      {"without details.txt an out-of-office is no report", noDetails, ""},
      {"an address held as a single entry",
       Bounce("postmaster@mx.example", "Delivery Status Notification (Failure)",
              "Delivery to friend@white.example failed."),
       genuine},
      {"an address covered only by a domain entry",
       Bounce("postmaster@mx.example", "Delivery Status Notification (Failure)",
              "Delivery to anyone@whitedomain.example failed."),
       suspicious},
      {"an address the White List lacks",
       Bounce("MAILER-DAEMON@mx.example", "Returned mail: user unknown",
              "Delivery to stranger@nowhere.example failed."),
       suspicious},
      {"no address anywhere", Bounce("mailer-daemon@mx.example", "failure notice", "failed"),
       suspicious},
      {"a trusted bouncing server",
       Bounce("postmaster@trusted-mx.example", "Undeliverable: hello", "to stranger@x.example"),
       genuine},
      {"a reply prefix is no report", Bounce("postmaster@mx.example", "RE: Undeliverable", ""), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    const Verdict verdict = Judge(c.spec, kStandardFlags);
    if (c.reason.empty()) {
      EXPECT_NE(verdict.reason, genuine);
      EXPECT_NE(verdict.reason, suspicious);
    } else {
      EXPECT_EQ(verdict.reason, c.reason);
      EXPECT_EQ(verdict.spam, c.reason == suspicious);
    }
  }
}

TEST_F(ReportDetectionTest, ReportsAreJudgedWhateverTheFlags) {
  const MessageSpec spec = Bounce("postmaster@mx.example", "Undeliverable: x", "no address");
  EXPECT_EQ(Judge(spec, 0).reason, FormatReason(kReasonSuspiciousReport));
}

TEST_F(ReportDetectionTest, TheVouchingEntryTakesTheClassificationTime) {
  const platform::FileTime now = clock_.Now();
  Judge(Bounce("postmaster@mx.example", "Undeliverable: x", "to friend@white.example"));
  auto found = settings_.Lock()->whiteList.Find(MakeContact("friend@white.example"));
  ASSERT_TRUE(found && found->Entry());
  EXPECT_EQ(found->Entry()->lastUsed, now);
}

}  // namespace
}  // namespace quorvel
