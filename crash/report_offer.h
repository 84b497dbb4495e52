// Offering a report that the reporter left: the dialog ("Send Error Report" or
// "Don't Send") and, on consent, the mail to support: composed into the profile's
// Outbox (a Maildir folder) and handed to the system's sendmail (`-t -i`), then moved
// to Sent when sendmail took it. Without either, the user is told where the file is.
//
// A report waits while its marker file (holding the report's path) exists; the marker
// is removed once a person answered (or the presenter was told to agree, as with
// --yes), so that a host without anyone to ask (started by the service manager) leaves
// it for the next one that has.
#ifndef QUORVEL_CRASH_REPORT_OFFER_H_
#define QUORVEL_CRASH_REPORT_OFFER_H_

#include <string>

#include "crash/report_mail.h"
#include "platform/file_system.h"
#include "ui/dialog.h"
#include "ui/ui.h"

namespace quorvel::crash {

inline constexpr int kSendButton = 1;
inline constexpr int kDontSendButton = 2;

struct OfferOptions {
  std::string markerPath;
  // The Outbox and Sent Maildir folders ("" : none), made when missing as the mail is
  // written into them.
  std::string outbox;
  std::string sent;
  std::string sendmail = "/usr/sbin/sendmail";
  ReportMail mail;                        // version, sender and the fields of this mail
  platform::FileSystem* files = nullptr;  // null: the real file system
};

enum class OfferResult {
  kNothingWaiting,
  kNobodyToAsk,  // the marker stays
  kNotSent,      // "Don't Send"
  kSent,         // sendmail took it
  kInOutbox,     // in the Outbox only: no sendmail, or it failed
  kFileOnly,     // neither: the user was told where the file is
};

// The dialog for the report at `reportPath`.
ui::Dialog ReportDialog(const std::string& reportPath);

// Offers the waiting report through `ui`, if there is one. Not thread-safe with
// another offer of the same marker.
OfferResult OfferWaitingReport(ui::Ui& ui, const OfferOptions& options);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_REPORT_OFFER_H_
