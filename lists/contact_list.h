// ContactList: the container behind the White List, the Black List, the Safe
// Recipients List and the settings' bookkeeping lists.
//
// Contacts are grouped by domain key. A group with entries covers exactly those
// addresses; a group without entries is a domain entry and covers every address of
// its key. Keys (domain keys and addresses) compare case-insensitively in the ANSI
// code page; the text first added is the text kept.
//
// Positions are iterators into the list: a position stays valid until the entry or
// group it names is removed (or the list is cleared, loaded or destroyed).
//
// Thread-safety: none of its own. The live lists of the settings record are read and
// written only under the settings lock.
#ifndef QUORVEL_LISTS_CONTACT_LIST_H_
#define QUORVEL_LISTS_CONTACT_LIST_H_

#include <cstddef>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "lists/archive.h"
#include "lists/contact.h"
#include "platform/clock.h"
#include "platform/code_page.h"

namespace quorvel {

struct ContactEntry {
  std::string address;  // as first added
  std::string name;     // display name, may be empty
  // When the entry was added or last matched by a timed lookup (file time); not
  // stored in the image, set to the load time on loading.
  platform::FileTime lastUsed = 0;
};

using ContactEntryMap = std::map<std::string, ContactEntry, platform::LessNoCase>;

struct ContactGroup {
  std::string domainKey;    // as first written
  ContactEntryMap entries;  // empty: a domain entry
  bool IsDomainEntry() const { return entries.empty(); }
};

using ContactGroupMap = std::map<std::string, ContactGroup, platform::LessNoCase>;

// One single entry of a group, or a whole group (a domain entry, or the answer of
// FindGroup).
class ContactPosition {
 public:
  const ContactGroup& Group() const { return group_->second; }
  // The single entry, or null when the position names a whole group.
  const ContactEntry* Entry() const { return hasEntry_ ? &entry_->second : nullptr; }
  bool IsDomainEntry() const { return !hasEntry_ && Group().IsDomainEntry(); }

  // The entry's address; for a group its domain key.
  const std::string& Address() const;
  // The entry's display name; for a group its domain key.
  const std::string& Name() const;
  // For a group its domain key; for a single entry its address in display form
  // (AddressDisplayForm), without the name.
  std::string Display() const;

  bool operator==(const ContactPosition& other) const;

 private:
  friend class ContactList;
  ContactPosition(ContactGroupMap::const_iterator group, ContactEntryMap::const_iterator entry,
                  bool hasEntry)
      : group_(group), entry_(entry), hasEntry_(hasEntry) {}

  ContactGroupMap::const_iterator group_;
  ContactEntryMap::const_iterator entry_;  // meaningful only with hasEntry_
  bool hasEntry_ = false;
};

class ContactList : public Serializable {
 public:
  struct AddResult {
    bool added = false;
    ContactPosition position;  // the new or the existing entry or group
  };

  // Yields one position per single entry and one per domain entry, in key order and,
  // within a group, in address order.
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ContactPosition;
    using difference_type = std::ptrdiff_t;
    using pointer = const ContactPosition*;
    using reference = const ContactPosition&;

    reference operator*() const { return position_; }
    pointer operator->() const { return &position_; }
    Iterator& operator++();
    Iterator operator++(int);
    bool operator==(const Iterator& other) const;

   private:
    friend class ContactList;
    Iterator(ContactGroupMap::const_iterator group, ContactGroupMap::const_iterator end);
    ContactPosition position_;
    ContactGroupMap::const_iterator end_;
  };

  ContactList() = default;
  ContactList(const ContactList&) = default;
  ContactList& operator=(const ContactList&) = default;

  // Whether the contact is covered: by a domain entry of its key, or by a single entry
  // with its address. The timed form also refreshes a matched single entry's lastUsed.
  std::optional<ContactPosition> Find(const Contact& contact) const;
  std::optional<ContactPosition> Find(const Contact& contact, platform::FileTime time);
  // The group of the contact's key, as a whole-group position.
  std::optional<ContactPosition> FindGroup(const Contact& contact) const;

  // Adds a single entry (name trimmed like an address). Not added: the address is
  // already there (position: that entry) or its group is a domain entry (position:
  // the group).
  AddResult AddAddress(const Contact& contact, std::string_view name, platform::FileTime time);
  // Makes the contact's key a domain entry, dropping the group's single entries.
  // Not added only when it already was a domain entry.
  AddResult AddDomain(const Contact& contact);

  // Takes in the other list's groups: a domain entry on either side wins, otherwise
  // the entries are united (existing ones kept as they are).
  void Merge(const ContactList& other);
  // Takes out the other list's groups: its domain entries remove whole groups; its
  // single entries remove single entries (never a domain entry here). A group left
  // without entries is removed.
  void Subtract(const ContactList& other);
  // Removes one entry; a group left empty, or a whole-group position, removes the group.
  void RemoveAt(const ContactPosition& position);
  // Removes single entries used before `cutoff` (and groups left empty by that).
  // Domain entries stay.
  void Prune(platform::FileTime cutoff);

  // Whether some item's Address or Name equals `text` (case-insensitively).
  bool ContainsText(std::string_view text) const;

  void Clear() { groups_.clear(); }
  // The number of groups.
  std::size_t Count() const { return groups_.size(); }
  bool Empty() const { return groups_.empty(); }
  const ContactGroupMap& Groups() const { return groups_; }

  Iterator begin() const { return Iterator(groups_.begin(), groups_.end()); }
  Iterator end() const { return Iterator(groups_.end(), groups_.end()); }

  ArchiveStatus Serialize(Archive& archive) override;

 private:
  ContactPosition GroupPosition(ContactGroupMap::const_iterator group) const {
    return ContactPosition(group, {}, false);
  }
  ContactPosition EntryPosition(ContactGroupMap::const_iterator group,
                                ContactEntryMap::const_iterator entry) const {
    return ContactPosition(group, entry, true);
  }
  void Store(Archive& archive) const;
  ArchiveStatus Load(Archive& archive);

  ContactGroupMap groups_;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_CONTACT_LIST_H_
