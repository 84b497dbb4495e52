#include "outlook/unsaved_markings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "bayes/mailbase.h"
#include "platform/memory_file_system.h"

namespace quorvel::outlook {
namespace {

constexpr const char* kData = "/data/";

// What a fresh process finds after the first one stopped: whether the mail base loads,
// how many junk messages "Bayes.raw" holds, the marking's journal entry (if any) with
// what its counts file says it learned, and the markers left.
struct Found {
  bool loads = false;
  std::int32_t junkInRaw = 0;
  bool entry = false;
  LearnedCounts learned;
  bool countsReadable = false;
  bool markerLeft = false;
  bool undone = false;           // the entry's counts taken back leave the junk half empty
  bool undoneInJournal = false;  // an undo line for it, not voided after
};

class UnsavedMarkingsTest : public ::testing::Test {
 protected:
  UnsavedMarkingsTest() { Begin(); }

  // A mail base that has learned one good message, saved; no marking yet.
  void Begin() {
    owned_ = std::make_unique<platform::MemoryFileSystem>();
    Mailbase mailbase(boxes_, kData, "/module/", files());
    mailbase.store().StartFresh();
    mailbase.store().Learn(u"meeting agenda monday", u"Meeting", false, 1, true);
    mailbase.store().Rebuild();
    files().CreateFolders("/data/markings");
  }
  platform::MemoryFileSystem& files() { return *owned_; }

  // The store tells `unsaved` of its saves, as a host's process does (null: nobody).
  static void Listen(MailbaseStore& store, UnsavedMarkings* unsaved) {
    if (unsaved == nullptr) {
      store.SetSavingListener({});
      store.SetSavedListener({});
      return;
    }
    store.SetSavingListener([unsaved](std::string_view raw) { return unsaved->Saving(raw); });
    store.SetSavedListener([unsaved] { unsaved->Saved(); });
  }

  // A host that does `work` on its mail base and saves, stopped after its
  // `stopAfter`-th changing call (nothing it does afterwards reaches the disk).
  void RunAndStop(int stopAfter,
                  const std::function<void(MailbaseStore&, UnsavedMarkings&, JournalFile&)>& work) {
    int calls = 0;
    files().SetFault([&](platform::MemoryFileSystem::Call call, const std::string&) {
      using C = platform::MemoryFileSystem::Call;
      if (call == C::kRead || call == C::kStat || call == C::kList) return 0;
      return ++calls > stopAfter ? EIO : 0;
    });
    {
      Mailbase mailbase(boxes_, kData, "/module/", files());
      MailbaseStore& store = mailbase.store();
      ASSERT_TRUE(store.EnsureLoaded());
      UnsavedMarkings unsaved(files(), kData);
      Listen(store, &unsaved);
      JournalFile journal(files(), kData);
      work(store, unsaved, journal);
      store.Rebuild();
      Listen(store, nullptr);
      store.Reset();  // stopped: nothing more is saved on the way out
    }
    changingCalls_ = calls;
    files().SetFault(nullptr);
  }

  // Marks three messages as junk.
  void MarkAndStop(int stopAfter) {
    RunAndStop(
        stopAfter, [&](MailbaseStore& store, UnsavedMarkings& unsaved, JournalFile& journal) {
          LearnedCounts learned;
          for (const char16_t* text : {u"cheap pills today", u"cheap watches", u"pills again"}) {
            AddLearning(&learned, text, u"offer", /*junk=*/true, kMarkingWeight);
          }
          MarkingEntry entry{.id = "1-1-" + std::to_string(stopAfter), .time = 1, .junk = true};
          std::string error;
          CommitMarking(files(), &journal, kData, store, &unsaved, &entry, learned, &error);
        });
  }

  // Takes the saved marking `id` back. `revoked`: the undo is begun, saved, and given
  // up (a move back failed), and the counts are saved again.
  void UndoAndStop(const std::string& id, int stopAfter, bool revoked) {
    LearnedCounts learned;
    ASSERT_TRUE(
        ParseLearned(files().FileBytes("/data/markings/" + id + ".counts").value_or(""), &learned));
    RunAndStop(stopAfter,
               [&](MailbaseStore& store, UnsavedMarkings& unsaved, JournalFile& journal) {
                 std::string error;
                 if (CommitUndo(journal, store, &unsaved, id, learned, 2, &error)) {
                   store.Rebuild();
                   if (revoked) RevokeUndo(journal, store, &unsaved, id, learned, 3);
                 }
               });
  }

  Found NextStart() {
    Found found;
    UnsavedMarkings unsaved(files(), kData);
    unsaved.Settle();
    Mailbase mailbase(boxes_, kData, "/module/", files());
    MailbaseStore& store = mailbase.store();
    found.loads = store.EnsureLoaded() && mailbase.table().EnsureLoaded();
    const CorpusPair all = [&] {
      CorpusPair pair = store.MainPair();
      pair.Merge(store.PendingPair());
      return pair;
    }();
    found.junkInRaw = all.junk().messageCount();
    std::istringstream lines(files().FileBytes("/data/journal.jsonl").value_or(""));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\"kind\":\"undo\"") != std::string::npos) found.undoneInJournal = true;
      if (line.find("\"kind\":\"undo_void\"") != std::string::npos) {
        found.undoneInJournal = false;
      }
      if (line.find("\"kind\":\"marking\"") == std::string::npos) continue;
      found.entry = true;
      const auto at = line.find("\"counts\":\"") + 10;
      const std::string counts = line.substr(at, line.find('"', at) - at);
      const auto bytes = files().FileBytes(std::string(kData) + counts);
      found.countsReadable = bytes && ParseLearned(*bytes, &found.learned);
    }
    std::vector<platform::FolderEntry> entries;
    files().ListFolder("/data/markings", &entries);
    for (const auto& e : entries) {
      if (e.name.find(kUnsavedSuffix) != std::string::npos ||
          e.name.find(kUndoingSuffix) != std::string::npos) {
        found.markerLeft = true;
      }
    }
    if (found.entry && found.countsReadable && store.Unlearn(found.learned)) {
      CorpusPair after = store.MainPair();
      after.Merge(store.PendingPair());
      found.undone = after.junk().messageCount() == 0 && after.junk().Count(u"pills") == 0;
    }
    store.Reset();
    return found;
  }

  platform::ScriptedMessageBoxes boxes_;
  std::unique_ptr<platform::MemoryFileSystem> owned_;
  int changingCalls_ = 0;
};

// A stop after each write of a marking in turn: the next start loads the mail base,
// finds its counts all in "Bayes.raw" or all out, and a journal entry (when there is
// one) whose counts are exactly what reached the file, so that undo takes back what
// was learned and nothing else.
TEST_F(UnsavedMarkingsTest, AStopAtAnyWriteLeavesTheEntryAndTheSavedCountsInStep) {
  MarkAndStop(1 << 20);
  const int total = changingCalls_;
  ASSERT_GT(total, 8);
  int savedWithEntry = 0, lostWithEntry = 0, noEntry = 0;
  for (int stop = 0; stop <= total; ++stop) {
    SCOPED_TRACE("stopped after changing call " + std::to_string(stop) + " of " +
                 std::to_string(total));
    Begin();
    MarkAndStop(stop);
    const Found found = NextStart();
    EXPECT_TRUE(found.loads);
    EXPECT_FALSE(found.markerLeft);
    EXPECT_TRUE(found.junkInRaw == 0 || found.junkInRaw == 3) << found.junkInRaw;
    if (!found.entry) {
      EXPECT_EQ(found.junkInRaw, 0) << "counts saved with no entry to undo them";
      ++noEntry;
      continue;
    }
    ASSERT_TRUE(found.countsReadable);
    EXPECT_EQ(found.learned.pair.junk().messageCount(), found.junkInRaw);
    if (found.junkInRaw == 3) {
      EXPECT_TRUE(found.undone);
      ++savedWithEntry;
    } else {
      ++lostWithEntry;
    }
  }
  // Every outcome was reached by some stop.
  EXPECT_GT(noEntry, 0);
  EXPECT_GT(lostWithEntry, 0);
  EXPECT_GT(savedWithEntry, 0);
}

// A stop after each write of an undo in turn (finished, or given up after a save): the
// next start finds the counts all in "Bayes.raw" with the entry not undone and its
// counts file saying exactly that, or all out with the entry undone, which a second
// undo cannot take again.
TEST_F(UnsavedMarkingsTest, AStopAtAnyWriteOfAnUndoLeavesItsLineAndTheSavedCountsInStep) {
  const std::string id = "1-1-" + std::to_string(1 << 20);
  for (const bool revoked : {false, true}) {
    Begin();
    MarkAndStop(1 << 20);
    UndoAndStop(id, 1 << 20, revoked);
    const int total = changingCalls_;
    ASSERT_GT(total, revoked ? 8 : 4);
    int undone = 0, kept = 0;
    for (int stop = 0; stop <= total; ++stop) {
      SCOPED_TRACE(std::string(revoked ? "given up" : "finished") + ", stopped after call " +
                   std::to_string(stop) + " of " + std::to_string(total));
      Begin();
      MarkAndStop(1 << 20);
      UndoAndStop(id, stop, revoked);
      const Found found = NextStart();
      EXPECT_TRUE(found.loads);
      EXPECT_FALSE(found.markerLeft);
      ASSERT_TRUE(found.entry && found.countsReadable);
      EXPECT_TRUE(found.junkInRaw == 0 || found.junkInRaw == 3) << found.junkInRaw;
      if (found.undoneInJournal) {
        EXPECT_EQ(found.junkInRaw, 0) << "undone, yet its counts are still saved";
        EXPECT_FALSE(found.undone && found.learned.pair.junk().messageCount() > 0)
            << "unlearned twice";
        ++undone;
      } else {
        EXPECT_EQ(found.learned.pair.junk().messageCount(), found.junkInRaw);
        EXPECT_TRUE(found.junkInRaw == 0 || found.undone);
        ++kept;
      }
    }
    EXPECT_GT(kept, 0);
    EXPECT_TRUE(revoked || undone > 0);
  }
}

// Two writers of one mail base: while a host holds a marking it has not saved, another
// process (a `quorvel mailbase build`, a command-line undo with markers of its own)
// saves "Bayes.raw", and the host is killed. The file changed, yet it does not hold the
// marking's counts: the next start takes the marking for one that learned nothing.
TEST_F(UnsavedMarkingsTest, ASaveByAnotherWriterDoesNotSaveAHostsMarking) {
  for (const bool writerNamesMarkers : {false, true}) {
    SCOPED_TRACE(writerNamesMarkers ? "an undo's process" : "a build");
    Begin();
    Mailbase host(boxes_, kData, "/module/", files());
    ASSERT_TRUE(host.store().EnsureLoaded());
    UnsavedMarkings hostMarkers(files(), kData);
    Listen(host.store(), &hostMarkers);
    // Saved once before, so that "markings/saved" names the file in force.
    host.store().Learn(u"lunch friday", u"Lunch", false, 1, true);
    host.store().SaveIfDirty();
    LearnedCounts learned;
    AddLearning(&learned, u"cheap pills today", u"offer", /*junk=*/true, kMarkingWeight);
    MarkingEntry entry{.id = "1-1-9", .time = 1, .junk = true};
    JournalFile journal(files(), kData);
    std::string error;
    ASSERT_TRUE(CommitMarking(files(), &journal, kData, host.store(), &hostMarkers, &entry, learned,
                              &error))
        << error;
    {
      Mailbase other(boxes_, kData, "/module/", files());
      ASSERT_TRUE(other.store().EnsureLoaded());
      UnsavedMarkings otherMarkers(files(), kData);
      if (writerNamesMarkers) Listen(other.store(), &otherMarkers);
      other.store().Learn(u"quarterly report", u"Report", false, 1, true);
      other.store().SaveIfDirty();
      Listen(other.store(), nullptr);
    }
    Listen(host.store(), nullptr);
    host.store().Reset();  // killed
    const Found found = NextStart();
    EXPECT_TRUE(found.loads);
    EXPECT_FALSE(found.markerLeft);
    ASSERT_TRUE(found.entry && found.countsReadable);
    EXPECT_EQ(found.junkInRaw, 0);
    EXPECT_EQ(found.learned.pair.junk().messageCount(), 0) << "a marking taken for saved";
  }
}

TEST_F(UnsavedMarkingsTest, AMarkerOfAProcessThatStillRunsIsLeftForItToSave) {
  files().PutFile("/data/markings/7-1-0.counts", "unchanged");
  // Process 1 runs (init); the file is the one on disk now, so a stopped owner's
  // counts would be judged lost.
  const std::string now = RawFileFingerprint(files(), "/data/Bayes.raw");
  files().PutFile("/data/markings/7-1-0.unsaved", "1 " + now + "\n");
  UnsavedMarkings unsaved(files(), kData);
  EXPECT_TRUE(unsaved.Settle().empty());
  EXPECT_TRUE(unsaved.IsUnsaved("7-1-0"));
  EXPECT_EQ(files().FileBytes("/data/markings/7-1-0.counts"), "unchanged");
}

TEST_F(UnsavedMarkingsTest, ASaveRemovesOnlyTheMarkersOfThisProcess) {
  Mailbase mailbase(boxes_, kData, "/module/", files());
  MailbaseStore& store = mailbase.store();
  ASSERT_TRUE(store.EnsureLoaded());
  UnsavedMarkings unsaved(files(), kData);
  Listen(store, &unsaved);
  files().PutFile("/data/markings/7-1-0.unsaved", "1 0\n");
  ASSERT_TRUE(unsaved.Note("8-2-0").ok());
  EXPECT_TRUE(unsaved.IsUnsaved("8-2-0"));
  store.Learn(u"pills", u"", true, 1, true);
  store.SaveIfDirty();
  EXPECT_FALSE(unsaved.IsUnsaved("8-2-0"));
  EXPECT_TRUE(unsaved.IsUnsaved("7-1-0"));
  Listen(store, nullptr);
}

}  // namespace
}  // namespace quorvel::outlook
