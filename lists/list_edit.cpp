#include "lists/list_edit.h"

#include <utility>

namespace quorvel {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

ListEntryRecord RecordOf(const ContactEntry& entry) { return {entry.address, entry.name, false}; }
ListEntryRecord DomainRecord(const ContactGroup& group) { return {group.domainKey, "", true}; }

// Takes one entry (or a whole group) out of `list`, noting what went in `removed`.
void RemoveEntry(ContactList& list, const std::string& domainKey, const std::string& address,
                 std::vector<ListEntryRecord>* removed) {
  const Contact key{address.empty() ? domainKey : address, domainKey};
  const auto group = list.FindGroup(key);
  if (!group) return;
  if (address.empty()) {
    if (group->Group().IsDomainEntry()) {
      removed->push_back(DomainRecord(group->Group()));
    } else {
      for (const auto& [unused, entry] : group->Group().entries)
        removed->push_back(RecordOf(entry));
    }
    list.RemoveAt(*group);
    return;
  }
  if (group->Group().IsDomainEntry()) return;
  const auto entry = list.Find(key);
  if (!entry || entry->Entry() == nullptr) return;
  removed->push_back(RecordOf(*entry->Entry()));
  list.RemoveAt(*entry);
}

// Adds one recorded entry; false when the list already had it.
bool AddRecord(ContactList& list, const ListEntryRecord& entry, platform::FileTime now) {
  const Contact contact = MakeContact(entry.address);
  return entry.domain ? list.AddDomain(contact).added
                      : list.AddAddress(contact, entry.name, now).added;
}

// Removes one recorded entry if the list holds exactly that (a domain entry, or the
// single address).
void RemoveRecord(ContactList& list, const ListEntryRecord& entry) {
  const Contact contact = MakeContact(entry.address);
  std::vector<ListEntryRecord> ignored;
  if (entry.domain) {
    const auto group = list.FindGroup(contact);
    if (group && group->Group().IsDomainEntry()) list.RemoveAt(*group);
    return;
  }
  RemoveEntry(list, contact.domainKey, contact.address, &ignored);
}

}  // namespace

EntryKind KindOfEntry(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed.find('*') != std::string_view::npos) return EntryKind::kWildcard;
  if (IsDomainForm(trimmed)) return EntryKind::kDomain;
  return EntryKind::kAddress;
}

std::string StoredWildcard(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (!trimmed.empty() && trimmed.front() == '@') return "*" + std::string(trimmed);
  return std::string(trimmed);
}

std::string ListEditErrorText(ListEditError error) {
  switch (error) {
    case ListEditError::kDomainExists:
      return "This domain already exists.";
    case ListEditError::kAddressExists:
      return "This address already exists.";
    case ListEditError::kWildcardExists:
      return "This wildcard already exists.";
    case ListEditError::kNone:
    case ListEditError::kAlreadyPending:
      break;
  }
  return {};
}

ListEditError AddWildcard(StringSet& patterns, std::string_view text) {
  return patterns.Insert(StoredWildcard(text)) ? ListEditError::kNone
                                               : ListEditError::kWildcardExists;
}

void ReplayChange(ContactList& list, const ListChange& change, platform::FileTime now) {
  for (const ListEntryRecord& entry : change.removed) RemoveRecord(list, entry);
  for (const ListEntryRecord& entry : change.added) AddRecord(list, entry, now);
}

void ReverseChange(ContactList& list, const ListChange& change, platform::FileTime now) {
  for (const ListEntryRecord& entry : change.added) RemoveRecord(list, entry);
  for (const ListEntryRecord& entry : change.removed) AddRecord(list, entry, now);
}

PendingAddition::PendingAddition(ContactList& target, ContactList& opposite)
    : target_(target), opposite_(opposite) {}

ListEditError PendingAddition::AddDomain(std::string_view text) {
  const Contact contact = MakeContact(text);
  const std::string& key = contact.domainKey;
  if (pendingDomains_.count(key) != 0) return ListEditError::kAlreadyPending;
  const auto mine = target_.FindGroup(contact);
  if (mine && mine->Group().IsDomainEntry()) return ListEditError::kDomainExists;
  pendingDomains_.insert(key);
  domains_.push_back(key);
  if (mine) {
    for (const auto& [unused, entry] : mine->Group().entries) {
      absorbed_.push_back({entry.name, entry.address, ListRowKind::kTargetAbsorbed});
    }
  }
  if (!HasOpposite()) return ListEditError::kNone;
  const auto theirs = opposite_.FindGroup(contact);
  if (!theirs) return ListEditError::kNone;
  const ContactGroup& group = theirs->Group();
  if (group.IsDomainEntry()) {
    conflicts_.push_back({group.domainKey, group.domainKey, ListRowKind::kOppositeDomain});
    removals_.push_back({group.domainKey, "", static_cast<int>(conflicts_.size()) - 1});
  } else {
    for (const auto& [unused, entry] : group.entries) {
      absorbed_.push_back({entry.name, entry.address, ListRowKind::kOppositeAbsorbed});
    }
    removals_.push_back({group.domainKey, "", -1});
  }
  return ListEditError::kNone;
}

ListEditError PendingAddition::AddAddress(std::string_view address, std::string_view name) {
  const Contact contact = MakeContact(address);
  if (pendingAddresses_.count(contact.address) != 0) return ListEditError::kAlreadyPending;
  if (target_.Find(contact)) return ListEditError::kAddressExists;
  pendingAddresses_.insert(contact.address);
  addresses_.emplace_back(contact.address, std::string(name));
  if (!HasOpposite()) return ListEditError::kNone;
  const auto theirs = opposite_.Find(contact);
  if (!theirs) return ListEditError::kNone;
  if (const ContactEntry* entry = theirs->Entry()) {
    conflicts_.push_back({entry->name, entry->address, ListRowKind::kOppositeAddress});
    removals_.push_back(
        {contact.domainKey, entry->address, static_cast<int>(conflicts_.size()) - 1});
  } else {
    const std::string& key = theirs->Group().domainKey;
    absorbed_.push_back({key, key, ListRowKind::kOppositeDomain});
  }
  return ListEditError::kNone;
}

PendingAddition::Applied PendingAddition::Apply(platform::FileTime now) {
  Applied applied;
  for (const Removal& removal : removals_) {
    if (removal.conflictRow >= 0 && !conflicts_[removal.conflictRow].remove) continue;
    RemoveEntry(opposite_, removal.domainKey, removal.address, &applied.opposite.removed);
  }
  for (const std::string& key : domains_) {
    const Contact contact{key, key};
    if (const auto group = target_.FindGroup(contact)) {
      for (const auto& [unused, entry] : group->Group().entries) {
        applied.target.removed.push_back(RecordOf(entry));
      }
    }
    const auto added = target_.AddDomain(contact);
    if (added.added) applied.target.added.push_back(DomainRecord(added.position.Group()));
  }
  for (const auto& [address, name] : addresses_) {
    const auto added = target_.AddAddress(MakeContact(address), name, now);
    if (added.added && added.position.Entry() != nullptr) {
      applied.target.added.push_back(RecordOf(*added.position.Entry()));
    }
  }
  return applied;
}

}  // namespace quorvel
