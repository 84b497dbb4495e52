#include "outlook/marking_undo.h"

#include <map>
#include <utility>

#include "lists/contact.h"
#include "mapi/queries.h"
#include "outlook/marking_move.h"
#include "outlook/open_folder.h"

namespace quorvel::outlook {
namespace {

struct ListBinding {
  const char* name;
  ContactList UserSettings::*contacts;
  StringSet UserSettings::*strings;
};

constexpr ListBinding kLists[] = {
    {"WhiteList", &UserSettings::whiteList, nullptr},
    {"BlackList", &UserSettings::blackList, nullptr},
    {"SafeRecipients", &UserSettings::safeRecipients, nullptr},
    {"WhiteListWildcards", nullptr, &UserSettings::whiteListWildcards},
    {"BlackListWildcards", nullptr, &UserSettings::blackListWildcards},
    {"SafeRecipientsWildcards", nullptr, &UserSettings::safeRecipientsWildcards},
};

const ListBinding* BindingOf(const std::string& list) {
  for (const ListBinding& b : kLists) {
    if (list == b.name) return &b;
  }
  return nullptr;
}

// Puts one change of a list back as it was before it.
void Reverse(UserSettings& settings, const ListEntryChange& change, platform::FileTime now) {
  const ListBinding* binding = BindingOf(change.list);
  if (binding == nullptr) return;
  if (binding->strings != nullptr) {
    StringSet& set = settings.*(binding->strings);
    if (change.added) {
      set.Erase(change.entry);
    } else {
      set.Insert(change.entry);
    }
    return;
  }
  ContactList& list = settings.*(binding->contacts);
  const Contact contact = MakeContact(change.entry);
  if (!change.added) {
    if (change.domain) {
      list.AddDomain(contact);
    } else {
      list.AddAddress(contact, change.name, now);
    }
    return;
  }
  if (change.domain) {
    if (auto group = list.FindGroup(contact); group && group->IsDomainEntry())
      list.RemoveAt(*group);
  } else if (auto found = list.Find(contact); found && found->Entry() != nullptr) {
    list.RemoveAt(*found);
  }
}

mapi::EntryId FromHex(const std::string& hex) {
  auto id = mapi::EntryId::FromHex(hex);
  return id ? *id : mapi::EntryId();
}

bool SameListEntry(const ListEntryChange& a, const ListEntryChange& b) {
  if (a.list != b.list || a.domain != b.domain) return false;
  if (a.domain) return MakeContact(a.entry).domainKey == MakeContact(b.entry).domainKey;
  const platform::LessNoCase less;
  return !less(a.entry, b.entry) && !less(b.entry, a.entry);
}

}  // namespace

std::optional<MarkingEntry> DependentMarking(const MarkingEntry& entry,
                                             const std::vector<MarkingEntry>& later) {
  for (const MarkingEntry& next : later) {
    for (const MarkedMessage& m : entry.messages) {
      for (const MarkedMessage& n : next.messages) {
        if (m.messageId == n.messageId && m.from != m.to) return next;
      }
    }
    for (const ListEntryChange& c : entry.lists) {
      for (const ListEntryChange& d : next.lists) {
        if (SameListEntry(c, d)) return next;
      }
    }
  }
  return std::nullopt;
}

bool UndoMarking(AddInProcess& process, mapi::Session& session, const MarkingEntry& entry,
                 std::string* error) {
  const AddInEnvironment& env = process.environment();
  // 1. What was learned, whole.
  LearnedCounts learned;
  if (!entry.counts.empty()) {
    std::string bytes;
    const std::string path = platform::JoinFilePath(env.dataFolder, entry.counts);
    if (env.dataFolder.empty() || !platform::RealFileSystem().ReadFile(path, &bytes).ok() ||
        !ParseLearned(bytes, &learned)) {
      *error = "what the marking learned (\"" + path + "\") is missing or damaged";
      return false;
    }
  }
  // 2. Every moved message still where the marking put it.
  struct Back {
    std::shared_ptr<mapi::Folder> from, to;
    std::vector<mapi::EntryId> messages;
    std::vector<std::string> ids;
  };
  std::map<std::pair<std::string, std::string>, Back> moves;
  std::map<std::string, std::multimap<std::string, mapi::EntryId>> listed;
  for (const MarkedMessage& m : entry.messages) {
    if (m.from == m.to) continue;
    Back& back = moves[{m.to, m.from}];
    if (!back.to) back.to = OpenFolder(session, m.to);
    if (!back.from) back.from = OpenFolder(session, m.from);
    if (!back.to || !back.from) {
      *error = "the folder \"" + (back.to ? m.fromName : m.toName) + "\" cannot be opened";
      return false;
    }
    if (!m.entry.empty()) {  // the store said where it went: look there first
      auto opened = session.OpenEntry(FromHex(m.entry), mapi::MAPI_BEST_ACCESS);
      if (opened.ok() && opened->objectType == mapi::MAPI_MESSAGE) {
        back.messages.push_back(FromHex(m.entry));
        back.ids.push_back(m.messageId);
        continue;
      }
    }
    if (!listed.count(m.to)) listed[m.to] = MessagesById(session, *back.to);
    auto& byId = listed[m.to];
    auto found = m.messageId.empty() ? byId.end() : byId.find(m.messageId);
    if (found == byId.end()) {
      // Back where it was already (an undo stopped after its move): nothing to move.
      if (!m.messageId.empty()) {
        if (!listed.count(m.from)) listed[m.from] = MessagesById(session, *back.from);
        if (listed[m.from].count(m.messageId) != 0) continue;
      }
      *error = "the message " + (m.messageId.empty() ? m.entry : m.messageId) +
               " is no longer in \"" + m.toName + "\"";
      return false;
    }
    back.messages.push_back(found->second);
    back.ids.push_back(m.messageId);
    byId.erase(found);
  }
  // 3. The counts, still there to take, leave the store once the undo is written down
  // (unsaved_markings.h).
  MailbaseStore& store = process.mailbase().store();
  JournalFile journal(platform::RealFileSystem(), env.dataFolder);
  UnsavedMarkings* unsaved = &process.unsavedMarkings();
  if (!entry.counts.empty() &&
      !CommitUndo(journal, store, unsaved, entry.id, learned, env.clock.Now(), error)) {
    return false;
  }
  // 4. The messages, each back where it was; the watchers know the moves are ours. A
  // move back that the store does only in part is turned back (the messages that moved
  // go where the marking put them again) and nothing of the marking is changed.
  struct Done {
    Back* back;
    mapi::EntryId markedInto;  // the folder the marking put them in
    MarkingMove move;
  };
  std::vector<Done> done;
  for (auto& [folders, back] : moves) {
    if (back.messages.empty()) continue;
    for (const std::string& id : back.ids) process.ownMoves().Note(id, FromHex(folders.second));
    std::vector<MoveItem> items;
    for (std::size_t i = 0; i < back.messages.size(); ++i) {
      items.push_back({back.messages[i], back.ids[i]});
    }
    done.push_back({&back, FromHex(folders.first), MoveAll(*back.to, *back.from, items)});
    if (done.back().move.complete) continue;
    std::size_t stayed = 0;
    for (const MovedMessage& m : done.back().move.messages) stayed += m.after.empty() ? 1 : 0;
    *error = "moving the messages back failed (" + std::to_string(stayed) + " of " +
             std::to_string(items.size()) + " could not be moved); nothing was taken back";
    for (Done& d : done) {
      std::vector<MoveItem> again;
      for (const MovedMessage& m : d.move.messages) {
        if (m.after.empty()) continue;
        again.push_back({FromHex(m.after), m.messageId});
        process.ownMoves().Note(m.messageId, d.markedInto);
      }
      if (!again.empty()) MoveAll(*d.back->from, *d.back->to, again);
    }
    if (!entry.counts.empty()) {
      RevokeUndo(journal, store, unsaved, entry.id, learned, env.clock.Now());
    }
    return false;
  }
  // 5. The lists, latest change first, saved before the undo is final (its line, or
  // its counts leaving "Bayes.raw"): an undo stopped before then runs again, finding
  // the messages back and the lists changed already.
  {
    auto settings = process.settings().Lock();
    for (auto it = entry.lists.rbegin(); it != entry.lists.rend(); ++it) {
      Reverse(*settings, *it, env.clock.Now());
    }
  }
  std::string saveError;
  const bool listsSaved = process.SaveSettings(&saveError) || entry.lists.empty();
  if (entry.counts.empty()) {
    journal.AppendLine(UndoLine(entry.id, env.clock.Now()));
  } else {
    store.Rebuild();
  }
  if (!listsSaved) {
    *error = "the lists could not be saved: " + saveError;
    return false;
  }
  return true;
}

}  // namespace quorvel::outlook
