// Folder paths and listings on a Maildir whose folders are named in other scripts:
// Dovecot's modified UTF-7 directories and UTF-8 ones, listed and found by their names.
#include "host/folder_path.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "host/folder_listing.h"
#include "host/mailbox_listing.h"
#include "host/message_locator.h"
#include "host/store_namespace.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "testing/one_store_session.h"

namespace quorvel::host {
namespace {

using ::testing::ElementsAre;

const std::string kGerman = "Entw\u00fcrfe";
const std::string kRussian = "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430";
const std::string kHebrew = "\u05d3\u05d5\u05d0\u05e8";  // a UTF-8 directory
const std::string kDana = "\u05d3\u05e0\u05d4";
const std::string kReport = "\u05d3\u05d5\u05d7.pdf";

class FolderNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir.AddFolder("Entw&APw-rfe");
    maildir.AddFolder("&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-");
    maildir.AddFolder("&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-.Entw&APw-rfe");
    maildir.AddFolder(kHebrew);
    maildir.AddFolder("Spam");
    maildir.Deliver(kHebrew, "new", "1700000001.M1P1.host",
                    "From: a@b.example\n"
                    "To: =?UTF-8?B?15PXoNeU?= <dana@example.il>\n"
                    "Subject: report\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/mixed; boundary=b\n\n"
                    "--b\nContent-Type: text/plain\n\nbody\n"
                    "--b\nContent-Type: application/pdf\nContent-Disposition: attachment;"
                    " filename*=UTF-8''%D7%93%D7%95%D7%97.pdf\n\nx\n--b--\n");
    auto store = mapi::OpenMaildirStore(maildir.root(), mapi::testing::UnwatchedOptions());
    ASSERT_TRUE(store.ok());
    ns = StoreNameSpace::Create(std::make_shared<OneStoreSession>(*store), "Home", {});
  }
  std::string PathOf(std::string_view path) {
    std::shared_ptr<MAPIFolder> folder;
    Outcome found = FindFolderByPath(*ns, path, &folder);
    return found.ok() ? FolderPathOf(*folder) : "not found: " + found.message;
  }
  mapi::testing::TempMaildir maildir;
  std::shared_ptr<NameSpace> ns;
};

TEST_F(FolderNamesTest, ListingsGiveTheNamesInTheirScript) {
  std::vector<std::string> rows;
  ListFolders(*ns, [&](const FolderRow& row) {
    rows.push_back(row.path + " " + std::to_string(row.itemCount));
    return true;
  });
  std::sort(rows.begin(), rows.end());
  EXPECT_THAT(
      rows,
      ElementsAre("Inbox 0", "Inbox/" + kGerman + " 0", "Inbox/Spam 0", "Inbox/" + kRussian + " 0",
                  "Inbox/" + kRussian + "/" + kGerman + " 0", "Inbox/" + kHebrew + " 1"));
  // The protocol's folder list (the desktop's folder tree) too.
  std::vector<std::string> entries;
  for (const protocol::FolderEntry& e : ListFolders(*ns)) entries.push_back(e.name + "|" + e.path);
  EXPECT_THAT(entries, ::testing::IsSupersetOf({kRussian + "|Inbox/" + kRussian,
                                                kGerman + "|Inbox/" + kRussian + "/" + kGerman}));
}

TEST_F(FolderNamesTest, PathsInAnyScriptAndCaseFindTheirFolder) {
  struct Case {
    std::string typed;
    std::string found;
  } cases[] = {
      {kGerman, "Inbox/" + kGerman},
      {"inbox/ENTW\u00dcRFE", "Inbox/" + kGerman},
      {"\u043f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430/" + kGerman,
       "Inbox/" + kRussian + "/" + kGerman},
      {kHebrew, "Inbox/" + kHebrew},
      // Its ANSI form ("??????????") is no name of it, nor of any other folder.
      {"??????????", "not found: folder \"Inbox\" has no subfolder \"??????????\""},
      {"\u0416\u0416\u0416\u0416",
       "not found: folder \"Inbox\" has no subfolder \"\u0416\u0416\u0416\u0416\""},
  };
  for (const Case& c : cases) EXPECT_EQ(PathOf(c.typed), c.found) << c.typed;
}

// The message's recipients and attachment names reach whoever reads them through the
// host in their script, beside the ANSI names the rules read.
TEST_F(FolderNamesTest, RecipientsAndAttachmentNamesOfAMessageKeepTheirScript) {
  std::shared_ptr<MAPIFolder> folder;
  ASSERT_TRUE(FindFolderByPath(*ns, kHebrew, &folder).ok());
  std::vector<ItemRow> items;
  ListItems(*ns, *folder, 0, 0, [&](const ItemRow& row) {
    items.push_back(row);
    return true;
  });
  ASSERT_EQ(items.size(), 1u);
  auto item = ns->GetItemFromID(items[0].entryId);
  ASSERT_TRUE(item.ok());
  auto message = (*item)->MAPIOBJECT();
  ASSERT_TRUE(message.ok());
  const mapi::PropTag to[] = {mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME};
  auto recipients = mapi::HrQueryAllRows(**(*message)->GetRecipientTable(0), to, std::nullopt);
  ASSERT_TRUE(recipients.ok());
  ASSERT_EQ(recipients->size(), 1u);
  ASSERT_NE((*recipients)[0][0].AsUnicode(), nullptr);
  EXPECT_EQ(platform::WideToUtf8(*(*recipients)[0][0].AsUnicode()), kDana);
  EXPECT_EQ(*(*recipients)[0][1].AsString8(), "???");
  const mapi::PropTag names[] = {mapi::PR_UNICODE_ATTACH_FILENAME};
  auto attachments = mapi::HrQueryAllRows(**(*message)->GetAttachmentTable(0), names, std::nullopt);
  ASSERT_TRUE(attachments.ok());
  ASSERT_EQ(attachments->size(), 1u);
  ASSERT_NE((*attachments)[0][0].AsUnicode(), nullptr);
  EXPECT_EQ(platform::WideToUtf8(*(*attachments)[0][0].AsUnicode()), kReport);
}

}  // namespace
}  // namespace quorvel::host
