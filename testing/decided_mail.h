// Messages whose verdicts tests can count on: two that the rules decide on their own,
// whatever the mail base says, and two that the shipped seed mail base decides by its
// score (spam 1.00, good 0.00).
#ifndef QUORVEL_TESTING_DECIDED_MAIL_H_
#define QUORVEL_TESTING_DECIDED_MAIL_H_

namespace quorvel::testing {

// An anti-virus report: spam, "Report from anti-virus software". CR LF line ends.
inline constexpr const char* kVirusReport =
    "From: Mail Gateway <scanner@gateway.example.net>\r\n"
    "To: you@example.net\r\n"
    "Subject: Virus found\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
    "\r\n"
    "--b\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "An attachment was removed.\r\n"
    "--b\r\n"
    "Content-Type: text/plain; name=\"ViRuSWarning.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"ViRuSWarning.txt\"\r\n"
    "\r\n"
    "W32.Example.A\r\n"
    "--b--\r\n";

// A meeting request is not an e-mail item: good, kNotEmail. CR LF line ends.
inline constexpr const char* kInvitation =
    "From: Organizer <boss@work.example>\r\n"
    "To: you@example.net\r\n"
    "Subject: Invitation: Weekly sync\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/calendar; charset=utf-8; method=REQUEST\r\n"
    "\r\n"
    "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nEND:VCALENDAR\r\n";
inline constexpr const char* kNotEmail = "Selected item is not e-mail item.";

// Spam and good mail by the seed mail base's score. LF line ends.
inline constexpr const char* kOffer =
    "From: \"Best Deals\" <deals@offers.example>\n"
    "To: you@example.net\n"
    "Subject: Make money fast from home, guaranteed income\n"
    "\n"
    "Dear friend, you have been selected to receive a FREE offer. Earn $5000 per week\n"
    "working from home. Click here to order now and remove your name from our mailing\n"
    "list. Limited time offer, act now! Buy now, no credit check, cash bonus, free gift.\n";
inline constexpr const char* kReply =
    "From: Ann <ann@example.org>\n"
    "To: you@example.net\n"
    "Subject: Re: patch for the build script\n"
    "\n"
    "Hi,\n\nI tried your patch on the build script and it works fine on my machine. The test\n"
    "suite passes, though I had to install a newer version of the compiler first. Could you\n"
    "send the updated version to the list so that others can review it before we merge?\n"
    "\nThanks,\nAnn\n";

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_DECIDED_MAIL_H_
