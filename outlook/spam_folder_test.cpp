#include "outlook/spam_folder.h"

#include <gtest/gtest.h>

#include "mapi/memory/memory_session.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "testing/test_mailbox.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::memory::Call;

std::u16string Hex(const EntryId& id) { return platform::AnsiToWide(id.ToHex()); }

class SpamFolderTest : public ::testing::Test {
 protected:
  SpamFolderRef Stored() { return settings.GetSpamFolder().value_or(SpamFolderRef{}); }

  TestMailbox box;
  SettingsHolder settings;
};

TEST_F(SpamFolderTest, NoReferenceUsesTheInboxSpamSubfolderMakingItOnce) {
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFallback);
  SpamFolderRef ref = Stored();
  EXPECT_EQ(ref.friendlyName, u"Personal Folders -> Inbox -> Spam");
  auto made = EntryId::FromHex(platform::WideToAnsi(ref.entryId));
  ASSERT_TRUE(made);
  EXPECT_TRUE(box.OpenFolder(*made));
  // Now the reference finds it; nothing new is made.
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFound);
  EXPECT_EQ(Stored(), ref);
  EXPECT_EQ(box.session->faults().Calls(Call::kCreateFolder), 1u);
}

// The junk folder the store already has (the one the user's other mail programs use)
// comes before a "Spam" folder of our own; the folder the settings name comes first.
TEST_F(SpamFolderTest, TheStoresJunkFolderIsUsedBeforeOneIsMade) {
  EntryId junk = box.AddFolder(box.layout.ipmSubtree, "Junk");
  auto inbox = box.OpenFolder(box.layout.inbox);
  ASSERT_EQ(mapi::HrSetOneProp(*inbox, mapi::PropValue::Id(mapi::PR_JUNK_FOLDER_ENTRYID, junk)),
            mapi::S_OK);
  ASSERT_EQ(inbox->SaveChanges(0), mapi::S_OK);
  const auto made = box.session->faults().Calls(Call::kCreateFolder);
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFallback);
  EXPECT_EQ(Stored().entryId, Hex(junk));
  EXPECT_EQ(Stored().friendlyName, u"Personal Folders -> Junk");
  EXPECT_EQ(box.session->faults().Calls(Call::kCreateFolder), made);

  EntryId chosen = box.AddFolder(box.layout.inbox, "Mine");
  settings.SetSpamFolder({Hex(chosen), u""});
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFound);
  EXPECT_EQ(Stored().entryId, Hex(chosen));
}

TEST_F(SpamFolderTest, ARenamedFolderIsFoundByItsIdAndItsPathUpdated) {
  EntryId junk = box.AddFolder(box.layout.ipmSubtree, "Junk");
  settings.SetSpamFolder({Hex(junk), u"Personal Folders -> Junk"});
  auto folder = box.OpenFolder(junk);
  ASSERT_EQ(mapi::HrSetOneProp(*folder, mapi::PropValue::String8(mapi::PR_DISPLAY_NAME, "Bulk")),
            mapi::S_OK);
  ASSERT_EQ(folder->SaveChanges(0), mapi::S_OK);
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFound);
  EXPECT_EQ(Stored().friendlyName, u"Personal Folders -> Bulk");
  EXPECT_EQ(Stored().entryId, Hex(junk));
}

TEST_F(SpamFolderTest, ADeletedFolderIsMadeAgainAlongItsPath) {
  EntryId lists = box.AddFolder(box.layout.inbox, "Lists");
  EntryId spam = box.AddFolder(lists, "spam");
  settings.SetSpamFolder({Hex(spam), u"personal folders -> INBOX -> Lists -> Spam"});
  ASSERT_EQ(box.OpenFolder(lists)->DeleteFolder(spam, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES),
            mapi::S_OK);
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFound);
  SpamFolderRef ref = Stored();
  EXPECT_NE(ref.entryId, Hex(spam));
  EXPECT_EQ(ref.friendlyName, u"Personal Folders -> Inbox -> Lists -> Spam");
}

TEST_F(SpamFolderTest, NothingFoundLeavesTheReferenceAlone) {
  SpamFolderRef before{u"00AB", u"Gone -> Away"};
  settings.SetSpamFolder(before);
  box.session->faults().Fail(Call::kCreateFolder, {}, mapi::MAPI_E_NO_ACCESS);
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kNone);
  EXPECT_EQ(Stored(), before);
}

// Folders named in another script share one ANSI name ("??????????"): the reference
// keeps the path in UTF-8 and finds its folder by the Unicode names, not the first
// folder whose ANSI name matches; a folder the code page cannot name is not made.
TEST_F(SpamFolderTest, NamesInAnyScriptFindTheirFolderAndNoOther) {
  auto named = [&](const char* utf8) {
    EntryId id = box.AddFolder(box.layout.inbox, platform::Utf8ToAnsi(utf8));
    auto folder = box.OpenFolder(id);
    EXPECT_EQ(mapi::HrSetOneProp(*folder, mapi::PropValue::Unicode(mapi::PR_UNICODE_DISPLAY_NAME,
                                                                   platform::Utf8ToWide(utf8))),
              mapi::S_OK);
    EXPECT_EQ(folder->SaveChanges(0), mapi::S_OK);
    return id;
  };
  const char* other = "\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416";
  const char* please = "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430";
  named(other);
  EntryId wanted = named(please);
  const std::u16string path = u"Personal Folders -> Inbox -> " + platform::Utf8ToWide(please);
  EXPECT_EQ(FriendlyPathUtf8(*box.session, wanted),
            std::string("Personal Folders -> Inbox -> ") + please);
  EXPECT_EQ(FriendlyPath(*box.session, wanted), "Personal Folders -> Inbox -> ??????????");

  settings.SetSpamFolder({u"", u"personal folders -> inbox -> " +
                                   platform::Utf8ToWide("\u043f\u043e\u0436\u0430\u043b"
                                                        "\u0443\u0439\u0441\u0442\u0430")});
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFound);
  EXPECT_EQ(Stored().entryId, Hex(wanted));
  EXPECT_EQ(Stored().friendlyName, path);

  // Gone, and not to be made under a name of question marks: the Inbox's Spam instead.
  const auto made = box.session->faults().Calls(Call::kCreateFolder);
  settings.SetSpamFolder({u"", u"Personal Folders -> Inbox -> \u0462\u0463"});
  EXPECT_EQ(CheckSpamFolder(*box.session, settings), SpamFolderResult::kFallback);
  EXPECT_EQ(Stored().friendlyName, u"Personal Folders -> Inbox -> Spam");
  EXPECT_EQ(box.session->faults().Calls(Call::kCreateFolder), made + 1);
}

TEST_F(SpamFolderTest, InboxAsSpamFolderIsNoticed) {
  EXPECT_FALSE(SpamFolderIsInbox(*box.session, settings));
  settings.SetSpamFolder({Hex(box.layout.inbox), u"Personal Folders -> Inbox"});
  EXPECT_TRUE(SpamFolderIsInbox(*box.session, settings));
  EXPECT_EQ(FriendlyPath(*box.session, box.layout.inbox), "Personal Folders -> Inbox");
}

}  // namespace
}  // namespace quorvel::outlook
