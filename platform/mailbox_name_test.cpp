#include "platform/mailbox_name.h"

#include <gtest/gtest.h>

namespace quorvel::platform {
namespace {

TEST(MailboxNameTest, WellFormedNamesConvertBothWays) {
  struct Case {
    const char* wire;
    const char* utf8;
  } cases[] = {
      {"", ""},
      {"INBOX", "INBOX"},
      {"Entw&APw-rfe", "Entw\u00fcrfe"},
      {"Tom &- Jerry", "Tom & Jerry"},
      {"&AOkA6Q-t&AOk-", "\u00e9\u00e9t\u00e9"},
      // The examples of the IMAP standard: "/" inside base64 is ",".
      {"~peter/mail/&U,BTFw-/&ZeVnLIqe-", "~peter/mail/\u53f0\u5317/\u65e5\u672c\u8a9e"},
      {"&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-",
       "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430"},
      {"&BdQF0AXcBdkF6gXd-", "\u05d4\u05d0\u05dc\u05d9\u05ea\u05dd"},
      {"&2D3eAA-", "\U0001F600"},  // outside the BMP: a surrogate pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ModifiedUtf7ToUtf8(c.wire), std::optional<std::string>(c.utf8)) << c.wire;
    EXPECT_EQ(Utf8ToModifiedUtf7(c.utf8), std::optional<std::string>(c.wire)) << c.wire;
    EXPECT_EQ(FolderNameToUtf8(c.wire), c.utf8) << c.wire;
  }
}

TEST(MailboxNameTest, MalformedNamesAreRefusedNotHalfDecoded) {
  for (const char* bad : {
           "Bad&AOk",          // unterminated "&"
           "&",                // "&" at the end
           "a&b",              // "&" and then no "-"
           "Bad&A*k-",         // outside the base64 alphabet
           "&Jjo!",            // the example of a character the standard forbids
           "&AOl-",            // left-over bits that are not zero
           "&AO-",             // twelve bits: no whole unit
           "&AGE-",            // printable "a" encoded
           "&2D0-",            // a high surrogate alone
           "&3gA-",            // a low surrogate alone
           "Entw\xc3\xbcrfe",  // raw 8-bit bytes
       }) {
    EXPECT_FALSE(ModifiedUtf7ToUtf8(bad)) << bad;
  }
  EXPECT_FALSE(
      Utf8ToModifiedUtf7("Entw\xfc"
                         "rfe"));                    // Latin-1, not UTF-8
  EXPECT_FALSE(Utf8ToModifiedUtf7("\xed\xa0\xbd"));  // an encoded surrogate
}

TEST(MailboxNameTest, FolderNamesReadAsBestTheyCan) {
  // A directory named in UTF-8 by another tool stays as it is; "&" alone in it too.
  EXPECT_EQ(FolderNameToUtf8("Entw\u00fcrfe"), "Entw\u00fcrfe");
  EXPECT_EQ(FolderNameToUtf8("Tom & Jerry"), "Tom & Jerry");
  EXPECT_EQ(FolderNameToUtf8("Bad&AOk"), "Bad&AOk");
  // Neither form: the stray byte is replaced, the rest kept.
  EXPECT_EQ(FolderNameToUtf8("Entw\xfc"
                             "rfe"),
            "Entw\ufffdrfe");
}

TEST(MailboxNameTest, CaseIsFoldedInEveryScript) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"Spam", "SPAM", true},
      {"\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430",
       "\u043f\u041e\u0416\u0410\u041b\u0423\u0419\u0421\u0422\u0410", true},
      {"Entw\u00fcrfe", "ENTW\u00dcRFE", true},
      {"\u05d0", "\u05d0", true},
      {"\u05d0", "\u05d1", false},
      {"Spam", "Spam2", false},
      {"", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(EqualsNoCaseUtf8(c.a, c.b), c.equal) << c.a << " " << c.b;
}

}  // namespace
}  // namespace quorvel::platform
