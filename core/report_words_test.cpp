#include "core/report_words.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

struct ReportCase {
  const char* name;
  ReportFields fields;
  bool report;
};

TEST(LooksLikeDeliveryReportTest, TableOfSendersSubjectsAndClasses) {
  const ReportCase cases[] = {
      {"ndr class", {"REPORT.IPM.Note.NDR", "", "", false}, true},
      {"ndr class in lower case", {"report.ipm.note.ndr", "", "", false}, true},
      {"ndr class with suffix", {"REPORT.IPM.Note.NDR.x", "", "", false}, false},
      {"daemon in capitals, returned mail",
       {"IPM.Note", "Returned mail: see transcript", "MAILER-DAEMON@mx.example.org", false},
       true},
      {"daemon, failure notice", {"IPM.Note", "failure notice", "mailer-daemon", false}, true},
      {"daemon, mail delivery failed",
       {"IPM.Note", "Mail delivery failed: returning message", "mailer-daemon@x", false},
       true},
      {"daemon with a postmaster subject",
       {"IPM.Note", "Undeliverable: hello", "mailer-daemon@x", false},
       false},
      {"daemon with details.txt only", {"IPM.Note", "Hello", "mailer-daemon@x", true}, false},
      {"postmaster, dsn",
       {"IPM.Note", "Delivery Status Notification (Failure)", "postmaster@x", false},
       true},
      {"postmaster, delivery failure",
       {"IPM.Note", "DELIVERY FAILURE", "Postmaster@x", false},
       true},
      {"postmaster, undeliverable", {"IPM.Note", "Undeliverable: hi", "postmaster@x", false}, true},
      {"postmaster, warning", {"IPM.Note", "Mail delivery warning", "postmaster@x", false}, true},
      {"postmaster, reply prefix", {"IPM.Note", "RE: Undeliverable", "postmaster@x", false}, false},
      {"postmaster, out of office with details",
       {"IPM.Note", "Out of office", "postmaster@x", true},
       true},
      {"postmaster, out of office", {"IPM.Note", "Out of office", "postmaster@x", false}, false},
      {"postmaster only in the middle",
       {"IPM.Note", "Undeliverable", "the-postmaster@x", false},
       false},
      {"nothing at all", {"", "", "", false}, false},
      {"leading blank before the sender",
       {"IPM.Note", "failure notice", " mailer-daemon@x", false},
       false},
  };
  for (const ReportCase& c : cases) {
    EXPECT_EQ(LooksLikeDeliveryReport(c.fields), c.report) << c.name;
  }
}

}  // namespace
}  // namespace quorvel
