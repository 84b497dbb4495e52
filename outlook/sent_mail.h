// SentMailRecorder: what the user's own mail teaches the lists. Recipients of sent
// mail go to the White List (when AutoAddToWhiteList is set), subjects to SentSubjs,
// and the user's own display names to SentFromNames, each with the current time.
//
// Thread-safety: any thread; the lists are changed only under the settings lock, and
// the lock is never held while a message is read.
#ifndef QUORVEL_OUTLOOK_SENT_MAIL_H_
#define QUORVEL_OUTLOOK_SENT_MAIL_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapi/message.h"
#include "platform/clock.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

// One recipient: address and display name.
struct SentRecipient {
  std::string address;
  std::string name;
};

class SentMailRecorder {
 public:
  // Both must outlive the recorder.
  SentMailRecorder(SettingsHolder& settings, const platform::Clock& clock)
      : settings_(settings), clock_(clock) {}

  // A message that landed in a Sent Items folder: its recipients (when
  // AutoAddToWhiteList is set), its subject and its sender's name.
  void RecordSentMessage(mapi::Message& message);
  // A message being written by the mail client (its recipients and subject), recorded
  // only while AutoAddToWhiteList is set.
  void RecordWrite(const std::vector<SentRecipient>& recipients, std::string_view subject);
  // A display name of the user's own; a text with "@" (an address) is ignored.
  void RecordOwnName(std::string_view displayName);

  // The recipients of a recipient table's rows (8-bit or wide columns; the later wins).
  static std::vector<SentRecipient> RecipientsOf(const mapi::RowSet& rows);

 private:
  void AddRecipients(const std::vector<SentRecipient>& recipients, platform::FileTime now);
  void AddSubject(std::string_view subject, platform::FileTime now);

  SettingsHolder& settings_;
  const platform::Clock& clock_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SENT_MAIL_H_
