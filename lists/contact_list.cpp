#include "lists/contact_list.h"

#include <utility>

namespace quorvel {

namespace {

// The smallest image of a group (empty key, count 0) and of an entry (two empty strings).
constexpr std::size_t kMinGroupBytes = 1 + 2;
constexpr std::size_t kMinEntryBytes = 1 + 1;

// Takes `group` into `groups` by the merge rules: a domain entry on either side wins,
// otherwise entries are united and existing ones kept.
void MergeGroupInto(ContactGroupMap& groups, const ContactGroup& group) {
  auto [it, inserted] = groups.try_emplace(group.domainKey, group);
  if (inserted) return;
  ContactGroup& mine = it->second;
  if (mine.IsDomainEntry()) return;
  if (group.IsDomainEntry()) {
    mine.entries.clear();
    return;
  }
  for (const auto& [address, entry] : group.entries) mine.entries.try_emplace(address, entry);
}

}  // namespace

const std::string& ContactPosition::Address() const {
  return hasEntry_ ? entry_->second.address : Group().domainKey;
}

const std::string& ContactPosition::Name() const {
  return hasEntry_ ? entry_->second.name : Group().domainKey;
}

std::string ContactPosition::Display() const {
  return hasEntry_ ? AddressDisplayForm(entry_->second.address) : Group().domainKey;
}

bool ContactPosition::operator==(const ContactPosition& other) const {
  return group_ == other.group_ && hasEntry_ == other.hasEntry_ &&
         (!hasEntry_ || entry_ == other.entry_);
}

ContactList::Iterator::Iterator(ContactGroupMap::const_iterator group,
                                ContactGroupMap::const_iterator end)
    : position_(group, {}, false), end_(end) {
  if (group != end && !group->second.entries.empty()) {
    position_.entry_ = group->second.entries.begin();
    position_.hasEntry_ = true;
  }
}

ContactList::Iterator& ContactList::Iterator::operator++() {
  if (position_.hasEntry_ && ++position_.entry_ != position_.group_->second.entries.end()) {
    return *this;
  }
  *this = Iterator(std::next(position_.group_), end_);
  return *this;
}

ContactList::Iterator ContactList::Iterator::operator++(int) {
  Iterator before = *this;
  ++*this;
  return before;
}

bool ContactList::Iterator::operator==(const Iterator& other) const {
  return position_ == other.position_;
}

std::optional<ContactPosition> ContactList::Find(const Contact& contact) const {
  const auto group = groups_.find(contact.domainKey);
  if (group == groups_.end()) return std::nullopt;
  if (group->second.IsDomainEntry()) return GroupPosition(group);
  const auto entry = group->second.entries.find(contact.address);
  if (entry == group->second.entries.end()) return std::nullopt;
  return EntryPosition(group, entry);
}

std::optional<ContactPosition> ContactList::Find(const Contact& contact, platform::FileTime time) {
  const auto group = groups_.find(contact.domainKey);
  if (group == groups_.end()) return std::nullopt;
  if (group->second.IsDomainEntry()) return GroupPosition(group);
  const auto entry = group->second.entries.find(contact.address);
  if (entry == group->second.entries.end()) return std::nullopt;
  entry->second.lastUsed = time;
  return EntryPosition(group, entry);
}

std::optional<ContactPosition> ContactList::FindGroup(const Contact& contact) const {
  const auto group = groups_.find(contact.domainKey);
  if (group == groups_.end()) return std::nullopt;
  return GroupPosition(group);
}

ContactList::AddResult ContactList::AddAddress(const Contact& contact, std::string_view name,
                                               platform::FileTime time) {
  auto [group, newGroup] = groups_.try_emplace(contact.domainKey);
  if (newGroup) {
    group->second.domainKey = contact.domainKey;
  } else if (group->second.IsDomainEntry()) {
    return {false, GroupPosition(group)};
  }
  auto [entry, added] = group->second.entries.try_emplace(contact.address);
  if (added) entry->second = ContactEntry{contact.address, TrimContactText(name), time};
  return {added, EntryPosition(group, entry)};
}

ContactList::AddResult ContactList::AddDomain(const Contact& contact) {
  auto [group, newGroup] = groups_.try_emplace(contact.domainKey);
  if (newGroup) {
    group->second.domainKey = contact.domainKey;
    return {true, GroupPosition(group)};
  }
  if (group->second.IsDomainEntry()) return {false, GroupPosition(group)};
  group->second.entries.clear();
  return {true, GroupPosition(group)};
}

void ContactList::Merge(const ContactList& other) {
  if (&other == this) return;
  for (const auto& [key, group] : other.groups_) MergeGroupInto(groups_, group);
}

void ContactList::Subtract(const ContactList& other) {
  if (&other == this) {
    Clear();
    return;
  }
  for (const auto& [key, theirs] : other.groups_) {
    const auto mine = groups_.find(key);
    if (mine == groups_.end()) continue;
    if (theirs.IsDomainEntry()) {
      groups_.erase(mine);
      continue;
    }
    if (mine->second.IsDomainEntry()) continue;
    for (const auto& [address, entry] : theirs.entries) mine->second.entries.erase(address);
    if (mine->second.entries.empty()) groups_.erase(mine);
  }
}

void ContactList::RemoveAt(const ContactPosition& position) {
  // An empty erase turns the position's const iterator into a mutable one.
  const auto group = groups_.erase(position.group_, position.group_);
  if (position.hasEntry_) {
    group->second.entries.erase(position.entry_);
    if (!group->second.entries.empty()) return;
  }
  groups_.erase(group);
}

void ContactList::Prune(platform::FileTime cutoff) {
  for (auto group = groups_.begin(); group != groups_.end();) {
    auto& entries = group->second.entries;
    if (entries.empty()) {
      ++group;
      continue;
    }
    std::erase_if(entries, [cutoff](const auto& item) { return item.second.lastUsed < cutoff; });
    group = entries.empty() ? groups_.erase(group) : std::next(group);
  }
}

bool ContactList::ContainsText(std::string_view text) const {
  for (const ContactPosition& item : *this) {
    if (platform::EqualsNoCase(item.Address(), text) || platform::EqualsNoCase(item.Name(), text)) {
      return true;
    }
  }
  return false;
}

ArchiveStatus ContactList::Serialize(Archive& archive) {
  if (archive.IsStoring()) {
    Store(archive);
    return {};
  }
  return Load(archive);
}

void ContactList::Store(Archive& archive) const {
  archive.WriteCount(groups_.size());
  for (const auto& [key, group] : groups_) {
    archive.WriteString(group.domainKey);
    archive.WriteCount(group.entries.size());
    for (const auto& [address, entry] : group.entries) {
      archive.WriteString(entry.address);
      archive.WriteString(entry.name);
    }
  }
}

ArchiveStatus ContactList::Load(Archive& archive) {
  ContactGroupMap loaded;
  std::uint32_t groupCount = 0;
  if (!archive.ReadCount(&groupCount, kMinGroupBytes)) return archive.Status();
  for (std::uint32_t g = 0; g < groupCount; ++g) {
    ContactGroup group;
    std::uint32_t entryCount = 0;
    if (!archive.ReadString(&group.domainKey) || !archive.ReadCount(&entryCount, kMinEntryBytes)) {
      return archive.Status();
    }
    for (std::uint32_t e = 0; e < entryCount; ++e) {
      ContactEntry entry;
      if (!archive.ReadString(&entry.address) || !archive.ReadString(&entry.name)) {
        return archive.Status();
      }
      entry.lastUsed = archive.LoadTime();
      // A key that folds equal to an earlier one (a changed code page can do that)
      // keeps the first; the group still holds at least one entry.
      std::string key = entry.address;
      group.entries.try_emplace(std::move(key), std::move(entry));
    }
    MergeGroupInto(loaded, group);
  }
  if (!archive.ObjectLoaded()) return archive.Status();
  groups_.swap(loaded);
  return {};
}

}  // namespace quorvel
