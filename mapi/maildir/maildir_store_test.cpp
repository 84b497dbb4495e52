#include "mapi/maildir/maildir_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/props_file.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

namespace fs = std::filesystem;
using testing::TempMaildir;

class MaildirStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = Open(); }

  std::shared_ptr<MsgStore> Open() {
    MaildirOptions options;
    options.accountAddress = "me@home.example";
    options.watch = false;
    auto store = OpenMaildirStore(dir_.root(), options);
    EXPECT_TRUE(store.ok());
    return store.value;
  }

  std::shared_ptr<Folder> FolderAt(const std::string& path, MsgStore* store = nullptr) {
    StoreKey key = testing::StoreKeyOf(store ? *store : *store_);
    auto opened = (store ? store : store_.get())->OpenEntry(MaildirFolderId(key, path), 0);
    EXPECT_TRUE(opened.ok()) << path;
    return opened.ok() ? opened->As<Folder>() : nullptr;
  }

  EntryId IdOf(const std::string& path) { return MaildirMessageIdFromPath(*store_, path); }

  std::shared_ptr<Message> OpenMessage(const EntryId& id, HRESULT* hr = nullptr) {
    auto opened = store_->OpenEntry(id, MAPI_BEST_ACCESS);
    if (hr) *hr = opened.hr;
    return opened.ok() ? opened->As<Message>() : nullptr;
  }

  RowSet Contents(Folder& folder, std::vector<PropTag> columns,
                  std::optional<Restriction> restriction = std::nullopt) {
    auto table = folder.GetContentsTable(0);
    EXPECT_TRUE(table.ok());
    auto rows = HrQueryAllRows(**table, columns, restriction);
    EXPECT_TRUE(rows.ok());
    return rows.value;
  }

  // The one message of a folder: its id (absent unless there is exactly one).
  EntryId OnlyMessage(const std::string& folder) {
    auto rows = Contents(*FolderAt(folder), {PR_ENTRYID});
    return rows.size() == 1 ? GetEntryId(rows[0], PR_ENTRYID) : EntryId();
  }
  // The path of the one message file of a folder ("" unless there is exactly one).
  std::string OnlyFile(const std::string& folder) {
    std::vector<std::string> found;
    for (const char* sub : {"/new", "/cur"}) {
      for (const auto& e : fs::directory_iterator(dir_.Dir(folder) + sub)) {
        found.push_back(e.path().string());
      }
    }
    return found.size() == 1 ? found[0] : std::string();
  }

  static std::int32_t Flags(Message& m) {
    auto v = HrGetOneProp(m, PR_MESSAGE_FLAGS);
    return v.ok() ? *v->AsLong() : -1;
  }

  TempMaildir dir_;
  std::shared_ptr<MsgStore> store_;
};

TEST_F(MaildirStoreTest, HierarchyFollowsTheDotNames) {
  dir_.AddFolder("Spam");
  dir_.AddFolder("Archive");
  dir_.AddFolder("Archive.2024");
  ::mkdir((dir_.root() + "/" + std::string(kPropsFolder)).c_str(), 0700);  // never a folder
  auto root = FolderAt("");
  auto table = root->GetHierarchyTable(0);
  const PropTag columns[] = {PR_DISPLAY_NAME, PR_SUBFOLDERS};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ(GetString8((*rows)[0], PR_DISPLAY_NAME), "Archive");
  EXPECT_TRUE(GetBoolean((*rows)[0], PR_SUBFOLDERS));
  EXPECT_EQ(GetString8((*rows)[1], PR_DISPLAY_NAME), "Spam");
  auto archive = FolderAt("Archive");
  auto children = HrQueryAllRows(**archive->GetHierarchyTable(0), columns, std::nullopt);
  ASSERT_EQ(children->size(), 1u);
  EXPECT_EQ(GetString8((*children)[0], PR_DISPLAY_NAME), "2024");
  auto name = HrGetOneProp(*root, PR_DISPLAY_NAME);
  EXPECT_EQ(*name->AsString8(), "Inbox");
  EXPECT_EQ(store_->OpenEntry(MaildirFolderId(testing::StoreKeyOf(*store_), "Nope"), 0).hr,
            MAPI_E_NOT_FOUND);
}

// Dovecot and Courier name folder directories in modified UTF-7, other tools in UTF-8:
// both read as the name, in any script beside the ANSI one.
TEST_F(MaildirStoreTest, FolderNamesAreDecodedFromTheirDirectories) {
  struct Case {
    const char* directory;
    const char* unicode;  // UTF-8
    const char* ansi;     // Windows-1252
  } cases[] = {
      {"Entw&APw-rfe", "Entw\u00fcrfe", "Entw\xfcrfe"},
      {"&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-",
       "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430", "??????????"},
      {"\u05d3\u05d5\u05d0\u05e8", "\u05d3\u05d5\u05d0\u05e8", "????"},
      {"Tom & Jerry", "Tom & Jerry", "Tom & Jerry"},  // no modified UTF-7: as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory);
    dir_.AddFolder(c.directory);
    auto folder = FolderAt(c.directory);
    const PropTag tags[] = {PR_DISPLAY_NAME, PR_UNICODE_DISPLAY_NAME};
    auto props = folder->GetProps(tags, 0);
    ASSERT_TRUE(props.ok());
    EXPECT_EQ(GetString8(*props, PR_DISPLAY_NAME), c.ansi);
    ASSERT_NE((*props)[1].AsUnicode(), nullptr);
    EXPECT_EQ(platform::WideToUtf8(*(*props)[1].AsUnicode()), c.unicode);
  }
  // The hierarchy table's rows carry both names too.
  const PropTag columns[] = {PR_UNICODE_DISPLAY_NAME, PR_DISPLAY_NAME};
  auto rows = HrQueryAllRows(**FolderAt("")->GetHierarchyTable(0), columns, std::nullopt);
  ASSERT_TRUE(rows.ok());
  std::vector<std::string> names;
  for (const auto& row : *rows) {
    ASSERT_NE(row[0].AsUnicode(), nullptr);
    names.push_back(platform::WideToUtf8(*row[0].AsUnicode()));
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "Entw\u00fcrfe"), names.end());
  EXPECT_EQ(names.size(), std::size(cases));
}

TEST_F(MaildirStoreTest, ContentsTableReadsNewAndCurAndSkipsWhatVanished) {
  dir_.Deliver("", "new", "100.A.host", TempMaildir::Message("unread new"));
  dir_.Deliver("", "cur", "101.B.host:2,S", TempMaildir::Message("read one"));
  dir_.Deliver("", "cur", "102.C.host:2,", TempMaildir::Message("unread cur"));
  // A dangling link: a file that vanished between listing and reading.
  ASSERT_EQ(::symlink("/nonexistent/file", (dir_.root() + "/cur/103.D.host:2,").c_str()), 0);
  std::ofstream(dir_.root() + "/cur/.hidden") << "not mail";
  auto inbox = FolderAt("");
  auto rows = Contents(*inbox, {PR_SUBJECT, PR_MESSAGE_FLAGS, PR_RECEIVED_BY_EMAIL_ADDRESS});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(GetString8(rows[0], PR_SUBJECT), "unread new");
  EXPECT_EQ(GetLong(rows[0], PR_MESSAGE_FLAGS), 0);
  EXPECT_EQ(GetString8(rows[1], PR_SUBJECT), "read one");
  EXPECT_EQ(GetLong(rows[1], PR_MESSAGE_FLAGS), static_cast<std::int32_t>(MSGFLAG_READ));
  EXPECT_EQ(GetString8(rows[2], PR_RECEIVED_BY_EMAIL_ADDRESS), "me@home.example");
  auto unread =
      Contents(*inbox, {PR_SUBJECT}, Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, MSGFLAG_READ));
  EXPECT_EQ(unread.size(), 2u);
  auto count = HrGetOneProp(*inbox, PR_CONTENT_UNREAD);
  EXPECT_EQ(*count->AsLong(), 2);
}

TEST_F(MaildirStoreTest, IdsSurviveFlagChangesAndRestarts) {
  std::string path = dir_.Deliver("", "new", "200.A.host", TempMaildir::Message("hello"));
  EntryId id = IdOf(path);
  ASSERT_TRUE(id.present());
  auto message = OpenMessage(id);
  ASSERT_TRUE(message);
  EXPECT_EQ(Flags(*message), 0);
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_TRUE(fs::exists(dir_.root() + "/cur/200.A.host:2,S"));
  EXPECT_FALSE(fs::exists(path));
  auto again = OpenMessage(id);
  ASSERT_TRUE(again);
  EXPECT_EQ(Flags(*again), static_cast<std::int32_t>(MSGFLAG_READ));
  ASSERT_EQ(again->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_TRUE(fs::exists(dir_.root() + "/cur/200.A.host:2,"));
  // Another client sets flags behind the store's back: the id still finds the message.
  fs::rename(dir_.root() + "/cur/200.A.host:2,", dir_.root() + "/cur/200.A.host:2,FS");
  auto store2 = Open();
  auto reopened = store2->OpenEntry(id, 0);
  ASSERT_TRUE(reopened.ok());
  EXPECT_EQ(Flags(*reopened->As<Message>()), static_cast<std::int32_t>(MSGFLAG_READ));
  EXPECT_EQ(
      GetEntryId(*reopened->As<Message>()->GetProps(std::vector<PropTag>{PR_ENTRYID}), PR_ENTRYID),
      id);
}

TEST_F(MaildirStoreTest, MoveRenamesIntoTheOtherFolder) {
  dir_.AddFolder("Spam");
  std::string path = dir_.Deliver("", "cur", "300.A.host:2,S", TempMaildir::Message("buy"));
  EntryId id = IdOf(path);
  auto inbox = FolderAt("");
  auto spam = FolderAt("Spam");
  EXPECT_EQ(inbox->CopyMessages(std::vector<EntryId>{id}, *spam, MESSAGE_MOVE), S_OK);
  EXPECT_FALSE(fs::exists(path));
  // Under a fresh name, with its flags.
  std::string moved = OnlyFile("Spam");
  ASSERT_NE(moved, "");
  EXPECT_EQ(moved.substr(moved.size() - 4), ":2,S");
  EXPECT_EQ(moved.find("300.A.host"), std::string::npos);
  EXPECT_EQ(IdOf(moved), OnlyMessage("Spam"));
  HRESULT hr;
  EXPECT_EQ(OpenMessage(id, &hr), nullptr);
  EXPECT_EQ(hr, MAPI_E_NOT_FOUND);
  EXPECT_NE(OpenMessage(IdOf(moved)), nullptr);
  // Moving what is no longer there is a partial completion, not a failure.
  EXPECT_EQ(inbox->CopyMessages(std::vector<EntryId>{id}, *spam, MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
}

TEST_F(MaildirStoreTest, MoveNeverReplacesAndAFailedMoveLeavesTheMessage) {
  dir_.AddFolder("Spam");
  std::string path = dir_.Deliver("", "cur", "400.A.host:2,", TempMaildir::Message("mine"));
  std::string clash = dir_.Deliver("Spam", "cur", "400.A.host:2,", TempMaildir::Message("other"));
  EntryId id = IdOf(path);
  auto inbox = FolderAt("");
  auto spam = FolderAt("Spam");
  // Its name in the spam folder is taken: it gets a name of its own there.
  ASSERT_EQ(inbox->CopyMessages(std::vector<EntryId>{id}, *spam, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Contents(*spam, {PR_ENTRYID}).size(), 2u);
  EXPECT_NE(testing::FileText(clash).find("other"), std::string::npos);
  path = dir_.Deliver("", "cur", "401.A.host:2,", TempMaildir::Message("mine"));
  id = IdOf(path);
  // A destination whose cur/ is broken: the rename fails and nothing is lost.
  fs::remove_all(dir_.Dir("Spam") + "/cur");
  std::ofstream(dir_.Dir("Spam") + "/cur") << "not a directory";
  HRESULT hr = inbox->CopyMessages(std::vector<EntryId>{id}, *spam, MESSAGE_MOVE);
  EXPECT_TRUE(Failed(hr)) << std::hex << hr;
  EXPECT_TRUE(fs::exists(path));
  EXPECT_NE(OpenMessage(id), nullptr);
}

TEST_F(MaildirStoreTest, OwnMarkPersistsAcrossRestartsFlagChangesAndMoves) {
  dir_.AddFolder("Spam");
  std::string path = dir_.Deliver("", "new", "500.A.host", TempMaildir::Message("mine"));
  EntryId id = IdOf(path);
  {
    auto message = OpenMessage(id);
    ASSERT_EQ(HrSetOneProp(*message, PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue)),
              S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(message->SetReadFlag(0), S_OK);
  }
  store_ = Open();  // a restart
  auto marked = [&](const EntryId& which) {
    auto m = OpenMessage(which);
    if (!m) return false;
    auto v = HrGetOneProp(*m, PR_OWN_MESSAGE_MARK);
    return v.ok() && *v->AsLong() == kOwnMessageMarkValue;
  };
  EXPECT_TRUE(marked(id));
  auto rows = Contents(*FolderAt(""), {PR_OWN_MESSAGE_MARK});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(GetLong(rows[0], PR_OWN_MESSAGE_MARK), kOwnMessageMarkValue);

  auto spam = FolderAt("Spam");
  ASSERT_EQ(FolderAt("")->CopyMessages(std::vector<EntryId>{id}, *spam, MESSAGE_MOVE), S_OK);
  EntryId movedId = OnlyMessage("Spam");
  EXPECT_TRUE(marked(movedId));
  EXPECT_FALSE(fs::exists(dir_.root() + "/" + std::string(kPropsFolder) + "/500.A.host"));

  // A copy gets its own file and its own copy of the mark.
  ASSERT_EQ(spam->CopyMessages(std::vector<EntryId>{movedId}, *FolderAt(""), 0), S_OK);
  auto inboxRows = Contents(*FolderAt(""), {PR_ENTRYID, PR_OWN_MESSAGE_MARK});
  ASSERT_EQ(inboxRows.size(), 1u);
  EXPECT_NE(GetEntryId(inboxRows[0], PR_ENTRYID), id);
  EXPECT_EQ(GetLong(inboxRows[0], PR_OWN_MESSAGE_MARK), kOwnMessageMarkValue);
  EXPECT_TRUE(marked(movedId));

  // Deleting removes the message and what was kept beside it.
  ASSERT_EQ(spam->DeleteMessages(std::vector<EntryId>{movedId}, 0), S_OK);
  EXPECT_FALSE(marked(movedId));
  EXPECT_FALSE(fs::exists(dir_.root() + "/" + std::string(kPropsFolder) + "/" +
                          DecodeMaildirId(movedId.bytes())->unique));
  EXPECT_EQ(spam->DeleteMessages(std::vector<EntryId>{movedId}, 0), MAPI_W_PARTIAL_COMPLETION);
}

TEST_F(MaildirStoreTest, SavingForAVanishedMessageKeepsNothing) {
  std::string path = dir_.Deliver("", "new", "600.A.host", TempMaildir::Message("gone"));
  auto message = OpenMessage(IdOf(path));
  fs::remove(path);
  // Refused when set (the message is read only then) or when saved.
  HRESULT set = HrSetOneProp(*message, PropValue::Long(PR_OWN_MESSAGE_MARK, 1));
  EXPECT_EQ(set == S_OK ? message->SaveChanges(0) : set, MAPI_E_NOT_FOUND);
  EXPECT_FALSE(fs::exists(dir_.root() + "/" + std::string(kPropsFolder) + "/600.A.host"));
  EXPECT_EQ(message->SetReadFlag(0), MAPI_E_NOT_FOUND);
}

TEST_F(MaildirStoreTest, CreateAndDeleteFolders) {
  auto inbox = FolderAt("");
  auto spam = inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", 0);
  ASSERT_TRUE(spam.ok());
  for (const char* sub : {"/cur", "/new", "/tmp", "/maildirfolder"}) {
    EXPECT_TRUE(fs::exists(dir_.Dir("Spam") + sub)) << sub;
  }
  EXPECT_EQ(inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", 0).hr, MAPI_E_COLLISION);
  EXPECT_TRUE(inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", OPEN_IF_EXISTS).ok());
  for (const char* bad : {"", "a.b", "a/b"}) {
    EXPECT_EQ(inbox->CreateFolder(FOLDER_GENERIC, bad, "", 0).hr, MAPI_E_INVALID_PARAMETER);
  }
  auto old = (*spam)->CreateFolder(FOLDER_GENERIC, "Old", "", 0);
  ASSERT_TRUE(old.ok());
  EXPECT_TRUE(fs::is_directory(dir_.root() + "/.Spam.Old/new"));
  // Non-ASCII names are modified UTF-7 on disk (as an IMAP server on the same Maildir
  // names them) and ANSI in properties; a folder another tool made under its UTF-8 name
  // is found, not made a second time.
  ASSERT_TRUE(inbox->CreateFolder(FOLDER_GENERIC, "Caf\xE9", "", 0).ok());
  EXPECT_TRUE(fs::is_directory(dir_.root() + "/.Caf&AOk-"));
  EXPECT_EQ(inbox->CreateFolder(FOLDER_GENERIC, "Caf\xE9", "", 0).hr, MAPI_E_COLLISION);
  ASSERT_TRUE(inbox->CreateFolder(FOLDER_GENERIC, "A&B", "", 0).ok());
  EXPECT_TRUE(fs::is_directory(dir_.root() + "/.A&-B"));
  dir_.AddFolder(
      "\xC3\x9C"
      "ber");
  ASSERT_TRUE(inbox
                  ->CreateFolder(FOLDER_GENERIC,
                                 "\xDC"
                                 "ber",
                                 "", OPEN_IF_EXISTS)
                  .ok());
  EXPECT_FALSE(fs::exists(dir_.root() + "/.&ANw-ber"));

  dir_.Deliver("Spam.Old", "new", "700.A.host", TempMaildir::Message("old spam"));
  EntryId spamId = MaildirFolderId(testing::StoreKeyOf(*store_), "Spam");
  EXPECT_EQ(inbox->DeleteFolder(spamId, 0), MAPI_E_HAS_FOLDERS);
  EXPECT_EQ(inbox->DeleteFolder(spamId, DEL_FOLDERS), MAPI_E_HAS_MESSAGES);
  EXPECT_TRUE(fs::exists(dir_.root() + "/.Spam.Old/new/700.A.host"));
  EXPECT_EQ(inbox->DeleteFolder(spamId, DEL_FOLDERS | DEL_MESSAGES), S_OK);
  EXPECT_FALSE(fs::exists(dir_.Dir("Spam")));
  EXPECT_FALSE(fs::exists(dir_.root() + "/.Spam.Old"));
  EXPECT_EQ(inbox->DeleteFolder(MaildirFolderId(testing::StoreKeyOf(*store_), ""), 0),
            MAPI_E_NOT_FOUND);
}

TEST_F(MaildirStoreTest, OpenEntryRejectsForeignAndDamagedIds) {
  EXPECT_EQ(store_->OpenEntry(EntryId(std::string("garbage")), 0).hr, MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(store_->OpenEntry(MaildirFolderId(testing::StoreKeyOf(*store_) + 1, ""), 0).hr,
            MAPI_E_NOT_FOUND);
  auto root = store_->OpenEntry(EntryId(), 0);
  ASSERT_TRUE(root.ok());
  EXPECT_EQ(root->objectType, MAPI_FOLDER);
  EXPECT_FALSE(MaildirMessageIdFromPath(*store_, "/etc/passwd").present());
  EXPECT_FALSE(MaildirMessageIdFromPath(*store_, dir_.root() + "/tmp/x").present());
  EXPECT_EQ(OpenMaildirStore(dir_.root() + "/missing").hr, MAPI_E_NOT_FOUND);
}

TEST_F(MaildirStoreTest, StorePropertiesNameTheSpecialFolders) {
  dir_.AddFolder("Sent");
  dir_.AddFolder("Trash");
  const PropTag tags[] = {PR_IPM_SUBTREE_ENTRYID, PR_IPM_SENTMAIL_ENTRYID,
                          PR_IPM_WASTEBASKET_ENTRYID, PR_IPM_OUTBOX_ENTRYID};
  auto props = store_->GetProps(tags);
  EXPECT_EQ(props.hr, MAPI_W_ERRORS_RETURNED);  // no outbox
  StoreKey key = testing::StoreKeyOf(*store_);
  EXPECT_EQ(GetEntryId(*props, PR_IPM_SUBTREE_ENTRYID), MaildirFolderId(key, ""));
  EXPECT_EQ(GetEntryId(*props, PR_IPM_SENTMAIL_ENTRYID), MaildirFolderId(key, "Sent"));
  EXPECT_EQ(GetEntryId(*props, PR_IPM_WASTEBASKET_ENTRYID), MaildirFolderId(key, "Trash"));
  auto receive = store_->GetReceiveFolder("IPM.Note.Custom", 0);
  ASSERT_TRUE(receive.ok());
  EXPECT_EQ(receive->folderId, MaildirFolderId(key, ""));
  EXPECT_EQ(receive->explicitClass, "IPM.Note");

  // Mail arrives whether or not anyone watches, so by default the store passes for a
  // server mailbox with a local copy; on request it is a personal store of its own.
  const PropTag kindTags[] = {PR_MDB_PROVIDER, PR_STORE_LOCAL_COPY};
  auto server = store_->GetProps(kindTags);
  ASSERT_TRUE(server.ok());
  EXPECT_TRUE(IsExchangeProvider(server->at(0).AsBinary()->bytes));
  EXPECT_TRUE(GetBoolean(*server, PR_STORE_LOCAL_COPY));
  MaildirOptions personal;
  personal.watch = false;
  personal.serverStore = false;
  auto plain = OpenMaildirStore(dir_.root(), personal);
  ASSERT_TRUE(plain.ok());
  auto props2 = (*plain)->GetProps(kindTags);
  ASSERT_TRUE(props2->at(0).AsBinary());
  EXPECT_FALSE(IsExchangeProvider(props2->at(0).AsBinary()->bytes));
  EXPECT_TRUE(props2->at(1).IsError());
}

// Other mail programs see every folder the store makes (an IMAP client lists it, mbsync
// makes it on the server): it makes none by itself and uses the folders that are there.
TEST_F(MaildirStoreTest, TheStoreUsesTheFoldersThereAndMakesNone) {
  dir_.AddFolder("Sent Items");
  dir_.AddFolder("Drafts");
  fs::create_directory(dir_.Dir("Junk"));  // named like the junk folder, but no mail folder
  MaildirOptions options;
  options.watch = false;
  auto store = OpenMaildirStore(dir_.root(), options);
  ASSERT_TRUE(store.ok());
  StoreKey key = testing::StoreKeyOf(**store);
  const PropTag tags[] = {PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID};
  auto props = (*store)->GetProps(tags);
  EXPECT_FALSE(GetEntryId(*props, PR_IPM_OUTBOX_ENTRYID).present());
  EXPECT_EQ(GetEntryId(*props, PR_IPM_SENTMAIL_ENTRYID), MaildirFolderId(key, "Sent Items"));
  const PropTag inboxTags[] = {PR_IPM_CONTACT_ENTRYID, PR_IPM_DRAFTS_ENTRYID,
                               PR_JUNK_FOLDER_ENTRYID};
  auto ids = FolderAt("", store->get())->GetProps(inboxTags);
  EXPECT_FALSE(GetEntryId(*ids, PR_IPM_CONTACT_ENTRYID).present());
  EXPECT_EQ(GetEntryId(*ids, PR_IPM_DRAFTS_ENTRYID), MaildirFolderId(key, "Drafts"));
  EXPECT_FALSE(GetEntryId(*ids, PR_JUNK_FOLDER_ENTRYID).present());
  for (const char* made : {"Outbox", "Sent", "Contacts"}) {
    EXPECT_FALSE(fs::exists(dir_.Dir(made))) << made;
  }
  // Once it holds mail folders' new/ and cur/, ".Junk" is the junk folder.
  fs::remove(dir_.Dir("Junk"));
  dir_.AddFolder("Junk");
  ids = FolderAt("", store->get())->GetProps(inboxTags);
  EXPECT_EQ(GetEntryId(*ids, PR_JUNK_FOLDER_ENTRYID), MaildirFolderId(key, "Junk"));
}

TEST_F(MaildirStoreTest, AFolderTheStoreMakesIsSubscribedInTheFormTheFileHas) {
  auto inbox = FolderAt("");
  ASSERT_TRUE(inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", 0).ok());
  EXPECT_EQ(testing::FileText(dir_.root() + "/subscriptions"), "Spam\n");
  ASSERT_TRUE(inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", OPEN_IF_EXISTS).ok());
  EXPECT_EQ(testing::FileText(dir_.root() + "/subscriptions"), "Spam\n");
  std::ofstream(dir_.root() + "/subscriptions", std::ios::binary) << "V\t2\n\nArchive\tOld";
  auto spam = FolderAt("Spam");
  ASSERT_TRUE(spam->CreateFolder(FOLDER_GENERIC, "Later", "", 0).ok());
  EXPECT_EQ(testing::FileText(dir_.root() + "/subscriptions"),
            "V\t2\n\nArchive\tOld\nSpam\tLater\n");
}

}  // namespace
}  // namespace quorvel::mapi
