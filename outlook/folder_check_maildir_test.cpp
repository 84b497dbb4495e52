// The folder check on a real Maildir with the real rule chain: the test mail of
// testdata/ copied with fresh Message-IDs into folders of their own, beside mail from
// a black-listed sender, checked with a Cancel in the middle and then to the end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "core/classify_context.h"
#include "lists/contact.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "outlook/add_in_process.h"
#include "outlook/folder_check.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "testing/one_store_session.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

namespace fs = std::filesystem;
using mapi::EntryId;

fs::path TestMail() {
  const char* source = std::getenv("QUORVEL_SOURCE_DIR");
  const fs::path base =
      source != nullptr ? fs::path(source) : fs::path(__FILE__).parent_path() / "..";
  return base / "testdata" / "mail";
}

// `text` with a Message-ID of `id` first and none of its own (a message without a
// header block gets one).
std::string WithFreshId(const std::string& text, const std::string& id) {
  std::string out = "Message-ID: <" + id + ">\n";
  std::size_t start = 0;
  bool inHeader = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    if (line == "\n" || line == "\r\n") inHeader = false;
    if (!inHeader || strncasecmp(line.c_str(), "message-id:", 11) != 0) out += line;
    start = end;
  }
  return out;
}

// Every Message-ID in the Maildir's message files, with the folder it is in.
std::multimap<std::string, std::string> Census(const std::string& root) {
  std::multimap<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const fs::path sub = entry.path().parent_path().filename();
    if (!entry.is_regular_file() || (sub != "cur" && sub != "new")) continue;
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("Message-ID: <", 0) == 0) {
        found.emplace(line.substr(13, line.find('>') - 13),
                      entry.path().parent_path().parent_path().filename().string());
        break;
      }
    }
  }
  return found;
}

class FolderCheckMaildirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    process.LoadSettings();
    process.settings().Lock()->blackList.AddAddress(MakeContact("spammer@bad.example"), "", 1);
    int n = 0;
    dir.AddFolder("Eval");
    for (const char* group : {"Eval.One", "Eval.Two"}) {
      dir.AddFolder(group);
      for (const auto& file : fs::directory_iterator(TestMail())) {
        std::ifstream in(file.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        const std::string id = "m" + std::to_string(++n) + "@check.test";
        dir.Deliver(group, "cur",
                    std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".test:2,S",
                    WithFreshId(text, id));
        if (n % 3 == 0) {
          const std::string spamId = "s" + std::to_string(n) + "@check.test";
          dir.Deliver(
              group, "cur", std::to_string(1700000000 + n) + ".S" + std::to_string(n) + ".test:2,S",
              WithFreshId(
                  mapi::testing::TempMaildir::Message("offer " + spamId, "spammer@bad.example"),
                  spamId));
          spamIds.insert(spamId);
        }
      }
    }
    dir.AddFolder("Junk");
    ASSERT_FALSE(spamIds.empty());
    store = *mapi::OpenMaildirStore(dir.root(), mapi::testing::UnwatchedOptions());
    session = std::make_shared<OneStoreSession>(store);
    spamFolder = FolderAt("Junk");
    process.settings().SetSpamFolder({platform::AnsiToWide(IdOf(*spamFolder).ToHex()), u""});
  }

  std::shared_ptr<mapi::Folder> FolderAt(const std::string& path) {
    auto opened = store->OpenEntry(mapi::MaildirFolderId(mapi::testing::StoreKeyOf(*store), path),
                                   mapi::MAPI_BEST_ACCESS);
    return opened->As<mapi::Folder>();
  }
  static EntryId IdOf(mapi::MapiProp& object) {
    return mapi::HrGetOneProp(object, mapi::PR_ENTRYID)->AsEntryId();
  }

  mapi::testing::TempMaildir dir;
  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  AddInProcess process{{registry, clock, ui, "", ""}};
  std::shared_ptr<mapi::MsgStore> store;
  std::shared_ptr<mapi::Session> session;
  std::shared_ptr<mapi::Folder> spamFolder;
  std::set<std::string> spamIds;
};

TEST_F(FolderCheckMaildirTest, ACancelInTheMiddleLosesNothingAndKeepsWhatWasMoved) {
  const auto before = Census(dir.root());
  ClassifierJudge judge(ClassifyContext{process.settings(), process.mailbase(), ui, clock});
  const CheckTarget target{*session, judge, spamFolder, IdOf(*spamFolder)};
  auto eval = FolderAt("Eval");
  const std::size_t firstGroup = Census(dir.Dir("Eval.One")).size();

  // Cancelled a few messages into the second group.
  CheckProgress cancelled;
  cancelled.report = [&](double, const CheckTally& tally) {
    return tally.checked < firstGroup + 4;
  };
  EXPECT_FALSE(CheckFolderTree(target, cancelled, *eval, IdOf(*eval), true));
  auto after = Census(dir.root());
  ASSERT_EQ(after.size(), before.size());  // nothing lost, nothing doubled
  for (const auto& [id, folder] : before) EXPECT_EQ(after.count(id), 1u) << id;
  std::size_t movedFirst = 0;
  for (const auto& [id, folder] : after) {
    const std::string was = before.find(id)->second;
    if (folder == ".Junk") {
      EXPECT_EQ(was, ".Eval.One") << id;  // only the group read to its end
      ++movedFirst;
    } else {
      EXPECT_EQ(folder, was) << id;
    }
  }
  EXPECT_GT(movedFirst, 0u);
  EXPECT_EQ(cancelled.tally.moved, movedFirst);

  // Checked again to the end: every black-listed message is in the spam folder, and
  // what was moved before stays there.
  CheckProgress whole;
  whole.report = [](double, const CheckTally&) { return true; };
  EXPECT_TRUE(CheckFolderTree(target, whole, *eval, IdOf(*eval), true));
  after = Census(dir.root());
  ASSERT_EQ(after.size(), before.size());
  for (const std::string& id : spamIds) EXPECT_EQ(after.find(id)->second, ".Junk") << id;
  std::size_t inJunk = 0;
  for (const auto& [id, folder] : after) inJunk += folder == ".Junk";
  EXPECT_EQ(whole.tally.moved + movedFirst, inJunk);
}

TEST_F(FolderCheckMaildirTest, AFolderWithMuchSpamMovesItAThousandAtATime) {
  // 2,300 black-listed messages, a white-listed one after every hundredth.
  process.settings().Lock()->whiteList.AddAddress(MakeContact("friend@good.example"), "", 1);
  dir.AddFolder("Bulk");
  constexpr int kSpam = 2300;
  std::vector<std::string> spamInOrder;
  for (int n = 0; n < kSpam; ++n) {
    const std::string id = "bulk" + std::to_string(n) + "@check.test";
    char name[40];
    std::snprintf(name, sizeof name, "17100%05d.B.test:2,S", n);
    dir.Deliver(
        "Bulk", "cur", name,
        WithFreshId(mapi::testing::TempMaildir::Message("offer", "spammer@bad.example"), id));
    spamInOrder.push_back(id);
    if (n % 100 == 0) {
      std::snprintf(name, sizeof name, "17100%05d.G.test:2,S", n);
      dir.Deliver("Bulk", "cur", name,
                  WithFreshId(mapi::testing::TempMaildir::Message("hello", "friend@good.example"),
                              "good" + std::to_string(n) + "@check.test"));
    }
  }
  const auto before = Census(dir.root());
  ClassifierJudge judge(ClassifyContext{process.settings(), process.mailbase(), ui, clock});
  const CheckTarget target{*session, judge, spamFolder, IdOf(*spamFolder)};
  const CheckTarget noting{*session, judge, spamFolder, IdOf(*spamFolder), &process.ownMoves()};
  auto bulk = FolderAt("Bulk");

  // Cancelled after 1,500 spam: the first thousand went in one move, the rest noted
  // since stays where it is, and every message is in exactly one folder.
  CheckProgress cancelled;
  cancelled.report = [](double, const CheckTally& tally) { return tally.spam < 1500; };
  EXPECT_FALSE(CheckFolderTree(noting, cancelled, *bulk, IdOf(*bulk), false));
  EXPECT_EQ(cancelled.tally.spam, 1500u);
  EXPECT_EQ(cancelled.tally.moved, 1000u);
  auto after = Census(dir.root());
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [id, folder] : before) ASSERT_EQ(after.count(id), 1u) << id;
  for (int n = 0; n < kSpam; ++n) {
    EXPECT_EQ(after.find(spamInOrder[n])->second, n < 1000 ? ".Junk" : ".Bulk") << n;
    // What was moved is the host's own move, which no watcher of the user's moves
    // learns from; what stayed is not.
    EXPECT_EQ(process.ownMoves().IsOwn("<" + spamInOrder[n] + ">", IdOf(*spamFolder)), n < 1000)
        << n;
  }

  // To the end: the rest in two more moves, the good mail left.
  CheckProgress whole;
  whole.report = [](double, const CheckTally&) { return true; };
  EXPECT_TRUE(CheckFolderTree(target, whole, *bulk, IdOf(*bulk), false));
  EXPECT_EQ(whole.tally.moved, static_cast<std::uint32_t>(kSpam - 1000));
  after = Census(dir.root());
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [id, folder] : after) {
    EXPECT_EQ(folder, id.rfind("bulk", 0) == 0 ? ".Junk" : before.find(id)->second) << id;
  }
}

}  // namespace
}  // namespace quorvel::outlook
