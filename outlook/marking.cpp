#include "outlook/marking.h"

#include <set>
#include <string>
#include <utility>

#include "core/property_text.h"
#include "lists/contact.h"
#include "lists/list_edit.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "outlook/marking_move.h"
#include "outlook/open_folder.h"
#include "outlook/spam_folder.h"
#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/list_edit_dialogs.h"
#include "ui/marking_dialogs.h"

namespace quorvel::outlook {
namespace {

struct Options {
  bool addToList = false;
  bool move = false;
  bool applyToAll = false;
};

Options ReadOptions(SettingsHolder& settings, MarkingMode mode) {
  auto s = settings.Lock();
  if (mode == MarkingMode::kJunk) {
    return {s->junkAddBlackList != 0, s->junkMoveInbox != 0, s->junkApplyToAll != 0};
  }
  return {s->goodAddWhiteList != 0, s->goodMoveInbox != 0, s->goodApplyToAll != 0};
}

bool SameFolder(mapi::Session& session, const mapi::EntryId& a, const mapi::EntryId& b) {
  if (!a.present() || !b.present()) return false;
  if (a == b) return true;
  auto same = session.CompareEntryIDs(a, b, 0);
  return same.ok() && *same;
}

// Where the marked messages go, if anywhere: junk from any folder but the spam folder
// into it; good only out of the spam folder, into the Inbox.
struct Destination {
  mapi::EntryId id;
  std::string path;
};

Destination FindDestination(MarkingContext& c, const mapi::EntryId& current, bool junk) {
  SettingsHolder& settings = c.process.settings();
  if (CheckSpamFolder(c.session, settings) == SpamFolderResult::kNone) return {};
  const auto ref = settings.GetSpamFolder();
  if (!ref) return {};
  std::string hex;
  for (char16_t ch : ref->entryId) hex.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  const auto spam = mapi::EntryId::FromHex(hex);
  if (!spam) return {};
  const bool inSpam = SameFolder(c.session, current, *spam);
  mapi::EntryId to;
  if (junk && !inSpam) to = *spam;
  if (!junk && inSpam) to = DefaultInboxId(c.session);
  if (!to.present() || !OpenFolder(c.session, to)) return {};
  return {to, FriendlyPathUtf8(c.session, to)};
}

// One selected message as it was read for the marking.
struct Collected {
  mapi::EntryId id;
  std::shared_ptr<mapi::Message> message;
  std::string sender;
  std::string senderName;
  std::string messageId;
};

std::shared_ptr<mapi::Message> OpenMessage(mapi::Session& session, const mapi::EntryId& id) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE) return nullptr;
  return opened->As<mapi::Message>();
}

// Reads a selected message; false when it is gone or no longer in `folder` (moved
// since it was selected, by the user or by a marking that ran first).
bool Collect(mapi::Session& session, const mapi::EntryId& folder, const mapi::EntryId& id,
             Collected* out) {
  std::shared_ptr<mapi::Message> message = OpenMessage(session, id);
  if (!message) return false;
  const mapi::PropTag tags[] = {
      mapi::PR_ENTRYID,     mapi::PR_PARENT_ENTRYID, mapi::PR_SENDER_EMAIL_ADDRESS,
      mapi::PR_SENDER_NAME, mapi::PR_SUBJECT,        mapi::PR_INTERNET_MESSAGE_ID};
  auto props = message->GetProps(tags);
  if (!props.ok()) return false;
  const mapi::EntryId parent = mapi::GetEntryId(*props, mapi::PR_PARENT_ENTRYID);
  if (parent.present() && !SameFolder(session, parent, folder)) return false;
  mapi::EntryId entryId = mapi::GetEntryId(*props, mapi::PR_ENTRYID);
  *out = {entryId.present() ? entryId : id, std::move(message),
          mapi::GetString8(*props, mapi::PR_SENDER_EMAIL_ADDRESS),
          mapi::GetString8(*props, mapi::PR_SENDER_NAME),
          mapi::GetString8(*props, mapi::PR_INTERNET_MESSAGE_ID)};
  return true;
}

// Whether `headers` has a field named `name` (a line that starts with it and a colon,
// the name in any case). A name found elsewhere (in a subject, inside another field's
// name such as "X-List-Idea") is no mailing-list header.
bool HasField(std::string_view headers, std::string_view name) {
  std::size_t line = 0;
  while (line < headers.size()) {
    const std::size_t end = headers.find('\n', line);
    const std::string_view text =
        headers.substr(line, end == std::string_view::npos ? std::string_view::npos : end - line);
    if (text.size() > name.size() &&
        platform::CompareNoCase(text.substr(0, name.size()), name) == 0) {
      const std::size_t colon = text.find_first_not_of(" \t", name.size());
      if (colon != std::string_view::npos && text[colon] == ':') return true;
    }
    if (end == std::string_view::npos) break;
    line = end + 1;
  }
  return false;
}

// The first mailing-list header the message's transport headers carry; "" when none.
std::string MailingListHeader(mapi::Message& message) {
  auto headers = ReadPropertyValue(message, mapi::PR_TRANSPORT_MESSAGE_HEADERS, true);
  if (!headers.ok()) return {};
  for (const char* name : kMailingListHeaders) {
    if (HasField(headers.value, name)) return name;
  }
  return {};
}

// Question 614 for a message from a mailing list whose sender is not on the Safe
// Recipients List yet; Yes puts the sender there.
void OfferSafeRecipient(MarkingContext& c, const Collected& item, MarkingRecord& record) {
  const Contact contact = MakeContact(item.sender);
  if (contact.address.empty()) return;
  if (c.process.settings().Lock()->safeRecipients.Find(contact)) return;
  if (MailingListHeader(*item.message).empty()) return;
  std::string text(platform::LoadString(kStringMailingList));
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, item.sender);
  const int answer = c.ui.Show(text, std::string(platform::kProductName),
                               platform::MB_YESNO | platform::MB_ICONQUESTION);
  if (answer != platform::IDYES) return;
  auto s = c.process.settings().Lock();
  const auto added =
      s->safeRecipients.AddAddress(contact, item.senderName, c.process.environment().clock.Now());
  if (added.added && added.position.Entry() != nullptr) {
    record.safeRecipients.added.push_back(
        {added.position.Entry()->address, added.position.Entry()->name, false});
  }
}

void AddSender(PendingAddition& edit, const Collected& item, MarkingMode mode) {
  const Contact contact = MakeContact(item.sender);
  // An address without a domain names no sender a list could hold.
  if (contact.address.empty() || contact.domainKey.empty()) return;
  if (mode == MarkingMode::kGoodWithDomain || contact.domainKey.front() == '/') {
    edit.AddDomain(item.sender);
  } else {
    edit.AddAddress(item.sender, item.senderName);
  }
}

void Learn(MarkingContext& c, const std::vector<Collected>& collected, bool junk,
           MarkingRecord& record) {
  if (collected.empty()) return;
  MailbaseStore& store = c.process.mailbase().store();
  if (!store.EnsureLoaded()) {
    // Said once for the whole selection: nothing is learned into a mail base that is
    // not there, and the rest of the marking goes on.
    c.ui.Show(std::string(platform::LoadString(kIdsMailbaseLoadFailed)),
              std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONERROR);
    return;
  }
  // Gathered here; the store takes them all at once when the marking is written down.
  for (const Collected& item : collected) {
    auto subject = ReadStringProperty(item.message.get(), mapi::PR_SUBJECT, false);
    auto body = ReadStringProperty(item.message.get(), mapi::PR_BODY, true);
    AddLearning(&record.counts, platform::AnsiToWide(body.value),
                platform::AnsiToWide(subject.value), junk, kMarkingWeight);
    record.learned.push_back({item.id.ToHex(), item.messageId, junk, kMarkingWeight});
  }
}

// Every other message of the folder from a sender already collected (the address
// compared exactly), to be moved with them but not learned.
void CollectSameSenders(mapi::Folder& folder, std::vector<MoveItem>& moving,
                        const std::set<std::string>& senders) {
  std::set<mapi::EntryId> have;
  for (const MoveItem& item : moving) have.insert(item.id);
  const mapi::PropTag columns[] = {
      mapi::PR_ENTRYID,     mapi::PR_OBJECT_TYPE, mapi::PR_SENDER_EMAIL_ADDRESS,
      mapi::PR_SENDER_NAME, mapi::PR_SUBJECT,     mapi::PR_INTERNET_MESSAGE_ID};
  ForEachRow(folder, columns, [&](const mapi::Row& row) {
    const std::string sender = mapi::GetString8(row, mapi::PR_SENDER_EMAIL_ADDRESS);
    if (senders.count(sender) == 0) return;
    const mapi::EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (!id.present() || !have.insert(id).second) return;
    moving.push_back({id, mapi::GetString8(row, mapi::PR_INTERNET_MESSAGE_ID)});
  });
}

void ApplyListEdit(MarkingContext& c, PendingAddition& edit, bool junk, bool quiet,
                   MarkingRecord& record) {
  const platform::FileTime now = c.process.environment().clock.Now();
  PendingAddition::Applied applied;
  if (!ui::ConfirmAndApply(c.ui, edit, junk ? ui::ListKind::kBlackList : ui::ListKind::kWhiteList,
                           now, &applied, /*ask=*/!quiet)) {
    return;
  }
  // What was confirmed on the copies is replayed on the live lists, so that entries
  // others added meanwhile (sent mail, the worker) stay.
  auto s = c.process.settings().Lock();
  ReplayChange(junk ? s->blackList : s->whiteList, applied.target, now);
  ReplayChange(junk ? s->whiteList : s->blackList, applied.opposite, now);
  (junk ? record.blackList : record.whiteList) = std::move(applied.target);
  (junk ? record.whiteList : record.blackList) = std::move(applied.opposite);
}

}  // namespace

MarkingRecord MarkMessages(MarkingContext& c, const MarkingSelection& selection, MarkingMode mode,
                           bool quiet) {
  MarkingRecord record;
  record.mode = mode;
  record.quiet = quiet;
  record.folder = selection.folder.ToHex();
  record.ran = true;
  const bool junk = mode == MarkingMode::kJunk;
  const Options options = ReadOptions(c.process.settings(), mode);
  const Destination destination =
      options.move ? FindDestination(c, selection.folder, junk) : Destination{};
  if (!quiet) ui::ShowMarkingConfirmation(c.ui, c.process.settings(), junk, destination.path);

  // The list edit works on copies until it is confirmed.
  ContactList white, black;
  {
    auto s = c.process.settings().Lock();
    white = s->whiteList;
    black = s->blackList;
  }
  PendingAddition edit(junk ? black : white, junk ? white : black);

  std::vector<Collected> collected;
  for (const mapi::EntryId& id : selection.messages) {
    Collected item;
    if (!Collect(c.session, selection.folder, id, &item)) continue;
    if (options.addToList) AddSender(edit, item, mode);
    if (mode == MarkingMode::kGood && options.addToList && !quiet) {
      OfferSafeRecipient(c, item, record);
    }
    collected.push_back(std::move(item));
  }

  if (std::shared_ptr<mapi::Folder> folder = OpenFolder(c.session, selection.folder)) {
    Learn(c, collected, junk, record);
    std::vector<MoveItem> moving;
    std::set<std::string> senders;
    for (const Collected& item : collected) {
      moving.push_back({item.id, item.messageId});
      senders.insert(item.sender);
    }
    if (options.applyToAll) CollectSameSenders(*folder, moving, senders);
    if (destination.id.present() && !moving.empty()) {
      if (std::shared_ptr<mapi::Folder> to = OpenFolder(c.session, destination.id)) {
        // The watchers of the user's moves must not take this one for theirs.
        for (const MoveItem& item : moving)
          c.process.ownMoves().Note(item.messageId, destination.id);
        MarkingMove planned;
        planned.sourceFolder = selection.folder.ToHex();
        planned.destinationFolder = destination.id.ToHex();
        planned.destinationPath = destination.path;
        if (c.beforeMove) {
          for (const MoveItem& item : moving) {
            planned.messages.push_back({item.id.ToHex(), "", item.messageId});
          }
          c.beforeMove(record, planned);
          planned.messages.clear();
        }
        record.moved = true;
        record.move = MoveAll(*folder, *to, moving);
        record.move.sourceFolder = std::move(planned.sourceFolder);
        record.move.destinationFolder = std::move(planned.destinationFolder);
        record.move.destinationPath = std::move(planned.destinationPath);
        if (junk && c.movedToSpam) {
          std::vector<std::string> ids;
          for (const MovedMessage& m : record.move.messages) {
            if (!m.after.empty() && !m.messageId.empty()) ids.push_back(m.messageId);
          }
          c.movedToSpam(ids);
        }
      }
    }
  }
  ApplyListEdit(c, edit, junk, quiet, record);
  if (c.commit) {
    c.commit(record);
  } else if (!record.counts.empty()) {
    c.process.mailbase().store().Add(record.counts);
  }
  c.process.mailbase().store().RequestRebuild();
  record.rebuildRequested = true;
  c.process.SaveSettings();
  return record;
}

MarkingRecord MarkExplorer(MarkingContext& c, host::Explorer* explorer, MarkingMode mode) {
  if (explorer == nullptr) return {};
  std::shared_ptr<host::MAPIFolder> folder = explorer->CurrentFolder();
  if (!folder || folder->DefaultItemType() != host::olMailItem) return {};
  const host::Selection& chosen = explorer->Selection();
  if (chosen.Count() == 0) {
    c.ui.Show(std::string(platform::LoadString(kStringSelectMailItem)),
              std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONWARNING);
    return {};
  }
  MarkingSelection selection;
  selection.folder = mapi::EntryId::FromHex(folder->EntryID()).value_or(mapi::EntryId());
  for (const auto& item : chosen.all()) {
    if (!item) continue;
    if (auto id = mapi::EntryId::FromHex(item->EntryID())) selection.messages.push_back(*id);
  }
  return MarkMessages(c, selection, mode, /*quiet=*/false);
}

}  // namespace quorvel::outlook
