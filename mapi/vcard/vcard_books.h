// VCardBooks: the user's address books, read from vCard files or from folders of
// ".vcf" files, presented the way the mail-store layer presents address books and
// contact folders:
//
//  - the first book is the Contacts folder: a read-only folder (MAPI_FOLDER,
//    container class "IPF.Contact") with one contact item (MAPI_MESSAGE,
//    "IPM.Contact") per e-mail address of each card, and one without address for a
//    card that has none; the address is the named property {PSETID_Address, 0x8083}
//    (resolve it with GetIDsFromNames), the card's display name PR_DISPLAY_NAME;
//  - every further book is a container of the address book's root hierarchy, with
//    PR_DEF_CREATE_MAILUSER (entries may be made there) and one MAPI_MAILUSER per
//    e-mail address (PR_EMAIL_ADDRESS, PR_ADDRTYPE "SMTP", PR_DISPLAY_NAME);
//  - the root container carries PR_IPM_CONTACT_ENTRYID, the Contacts folder's id, so
//    that the namespace finds its default Contacts folder there when the mail store
//    has none.
//
// The books are read once, when made; a path that is missing or unreadable gives an
// empty book and a line in problems(). Entry ids start with "QVCB" (IsVCardEntryId).
//
// Thread-safety: immutable after Load; every method may be called from any thread.
// Opened objects are snapshots owned by their callers.
#ifndef QUORVEL_MAPI_VCARD_VCARD_BOOKS_H_
#define QUORVEL_MAPI_VCARD_VCARD_BOOKS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapi/address_book.h"
#include "mapi/vcard/vcard_reader.h"

namespace quorvel::mapi::vcard {

// The named property id the Contacts folder gives {PSETID_Address, 0x8083}.
inline constexpr std::uint32_t kEmail1PropId = 0x8001;
// A vCard file larger than this is not read (no address book is that large).
inline constexpr std::uintmax_t kMaxVCardFileBytes = 256u << 20;

struct Book {
  std::string path;
  std::string name;  // the file or folder name, as the container's display name
  std::vector<VCard> cards;
};

// Reads one book: a vCard file, or every ".vcf" file of a folder (not its
// subfolders), in name order. False, with the reason in *problem, when the path
// cannot be read; a folder's unreadable file is skipped and named in *problem while
// the others are read.
bool LoadBook(const std::string& path, Book* book, std::string* problem);

bool IsVCardEntryId(const EntryId& id);

class VCardBooks final : public AddressBook, public std::enable_shared_from_this<VCardBooks> {
 public:
  static std::shared_ptr<VCardBooks> Load(const std::vector<std::string>& paths);
  static std::shared_ptr<VCardBooks> FromBooks(std::vector<Book> books);

  // The root (absent or empty id), a container, a mail user, the Contacts folder or
  // one of its items; MAPI_E_NOT_FOUND for an id of this kind that names nothing,
  // MAPI_E_INVALID_ENTRYID for another kind of id.
  Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) override;

  // The Contacts folder's id; absent when no book was given.
  EntryId ContactsFolderId() const;
  const std::vector<std::string>& problems() const { return problems_; }
  const std::vector<Book>& books() const { return books_; }

 private:
  struct Entry {
    std::string name;   // the card's display name
    std::string email;  // empty for a card without address (Contacts folder only)
  };
  VCardBooks() = default;
  std::vector<Book> books_;
  std::vector<std::vector<Entry>> entries_;  // per book
  std::vector<std::string> problems_;
};

}  // namespace quorvel::mapi::vcard

#endif  // QUORVEL_MAPI_VCARD_VCARD_BOOKS_H_
