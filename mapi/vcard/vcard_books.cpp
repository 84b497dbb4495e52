#include "mapi/vcard/vcard_books.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mapi/pick_props.h"
#include "mapi/row_table.h"
#include "mapi/tags.h"

namespace quorvel::mapi::vcard {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kIdPrefix = "QVCB";
enum class Kind : char { kRoot = 'R', kContainer = 'C', kUser = 'U', kFolder = 'F', kItem = 'I' };

struct Parsed {
  Kind kind;
  std::uint32_t book = 0;
  std::uint32_t index = 0;
};

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

EntryId MakeId(Kind kind, std::uint32_t book = 0, std::uint32_t index = 0) {
  std::string bytes(kIdPrefix);
  bytes.push_back(static_cast<char>(kind));
  PutU32(bytes, book);
  PutU32(bytes, index);
  return EntryId(std::move(bytes));
}

std::optional<Parsed> ParseId(const EntryId& id) {
  std::string_view b = id.bytes();
  if (b.size() != kIdPrefix.size() + 9 || !b.starts_with(kIdPrefix)) return std::nullopt;
  const auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  const char kind = b[kIdPrefix.size()];
  if (std::string_view("RCUFI").find(kind) == std::string_view::npos) return std::nullopt;
  return Parsed{static_cast<Kind>(kind), u32(kIdPrefix.size() + 1), u32(kIdPrefix.size() + 5)};
}

bool ReadWholeFile(const fs::path& path, std::string* bytes, std::string* problem) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) {
    *problem = path.string() + ": " + ec.message();
    return false;
  }
  if (size > kMaxVCardFileBytes) {
    *problem = path.string() + ": too large for an address book";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *problem = path.string() + ": cannot be read";
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    *problem = path.string() + ": cannot be read";
    return false;
  }
  *bytes = std::move(content).str();
  return true;
}

// Read-only objects over a fixed list of values.
template <typename Base>
class FixedProps : public Base {
 public:
  FixedProps(std::uint32_t type, std::vector<PropValue> values)
      : type_(type), values_(std::move(values)) {}
  std::uint32_t ObjectType() const override { return type_; }
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags, std::uint32_t) override {
    return PickProps(values_, tags);
  }
  Result<std::vector<PropTag>> GetPropList(std::uint32_t) override {
    std::vector<PropTag> tags;
    for (const PropValue& v : values_) tags.push_back(v.tag);
    return Ok(std::move(tags));
  }
  HRESULT SetProps(std::span<const PropValue>) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteProps(std::span<const PropTag>) override { return MAPI_E_NO_ACCESS; }
  HRESULT SaveChanges(std::uint32_t) override { return MAPI_E_NO_ACCESS; }
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  // Only the contact's first e-mail address has a name.
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName> names,
                                               std::uint32_t) override {
    std::vector<PropTag> tags;
    for (const PropName& name : names) {
      const bool email1 =
          !name.isString && name.guid == PSETID_Address && name.number == kContactEmail1Number;
      tags.push_back(email1 ? PROP_TAG(PT_UNSPECIFIED, kEmail1PropId) : PROP_TAG(PT_ERROR, 0));
    }
    const bool all =
        std::all_of(tags.begin(), tags.end(), [](PropTag t) { return PROP_TYPE(t) != PT_ERROR; });
    return all ? Ok(std::move(tags)) : Result<std::vector<PropTag>>{MAPI_W_ERRORS_RETURNED, tags};
  }

 protected:
  const std::uint32_t type_;
  const std::vector<PropValue> values_;
};

class Item final : public FixedProps<MailUser> {
 public:
  using FixedProps::FixedProps;
};

class BookFolder final : public FixedProps<Folder> {
 public:
  BookFolder(std::vector<PropValue> values, std::vector<std::vector<PropValue>> rows,
             std::vector<std::vector<PropValue>> hierarchy, std::vector<PropTag> columns,
             std::uint32_t type)
      : FixedProps(type, std::move(values)),
        rows_(std::move(rows)),
        hierarchy_(std::move(hierarchy)),
        columns_(std::move(columns)) {}
  Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t) override {
    return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(rows_, columns_)));
  }
  Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t) override {
    return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(
        hierarchy_, std::vector<PropTag>{PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME, PR_DEPTH})));
  }
  Result<std::shared_ptr<Message>> CreateMessage(std::uint32_t) override {
    return MAPI_E_NO_ACCESS;
  }
  HRESULT CopyMessages(std::span<const EntryId>, Folder&, std::uint32_t) override {
    return MAPI_E_NO_ACCESS;
  }
  HRESULT DeleteMessages(std::span<const EntryId>, std::uint32_t) override {
    return MAPI_E_NO_ACCESS;
  }
  Result<std::shared_ptr<Folder>> CreateFolder(std::uint32_t, const std::string&,
                                               const std::string&, std::uint32_t) override {
    return MAPI_E_NO_ACCESS;
  }
  HRESULT DeleteFolder(const EntryId&, std::uint32_t) override { return MAPI_E_NO_ACCESS; }

 private:
  const std::vector<std::vector<PropValue>> rows_;
  const std::vector<std::vector<PropValue>> hierarchy_;
  const std::vector<PropTag> columns_;
};

// An address-book container is a folder that refuses every change; one class serves
// both, told apart by ObjectType.
class BookContainer final : public AbContainer {
 public:
  explicit BookContainer(std::shared_ptr<BookFolder> inner) : inner_(std::move(inner)) {}
  std::uint32_t ObjectType() const override { return MAPI_ABCONT; }
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> t, std::uint32_t f) override {
    return inner_->GetProps(t, f);
  }
  Result<std::vector<PropTag>> GetPropList(std::uint32_t f) override {
    return inner_->GetPropList(f);
  }
  HRESULT SetProps(std::span<const PropValue>) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteProps(std::span<const PropTag>) override { return MAPI_E_NO_ACCESS; }
  HRESULT SaveChanges(std::uint32_t) override { return MAPI_E_NO_ACCESS; }
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName> n,
                                               std::uint32_t f) override {
    return inner_->GetIDsFromNames(n, f);
  }
  Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t f) override {
    return inner_->GetContentsTable(f);
  }
  Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t f) override {
    return inner_->GetHierarchyTable(f);
  }

 private:
  std::shared_ptr<BookFolder> inner_;
};

}  // namespace

bool IsVCardEntryId(const EntryId& id) { return ParseId(id).has_value(); }

bool LoadBook(const std::string& path, Book* book, std::string* problem) {
  *book = Book{path, fs::path(path).filename().string(), {}};
  if (book->name.empty()) book->name = fs::path(path).parent_path().filename().string();
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    *problem = path + ": no such file or folder";
    return false;
  }
  std::vector<fs::path> files;
  if (fs::is_directory(status)) {
    fs::directory_iterator it(path, ec), end;
    if (ec) {
      *problem = path + ": " + ec.message();
      return false;
    }
    for (; it != end; it.increment(ec)) {
      std::string ext = it->path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
      if (ext == ".vcf" && !it->is_directory(ec)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(path);
  }
  std::string skipped;
  for (const fs::path& file : files) {
    std::string bytes, why;
    if (!ReadWholeFile(file, &bytes, &why)) {
      if (files.size() == 1 && file == fs::path(path)) {
        *problem = why;
        return false;
      }
      skipped += (skipped.empty() ? "" : "; ") + why;
      continue;
    }
    for (VCard& card : ReadVCards(bytes)) book->cards.push_back(std::move(card));
  }
  *problem = skipped;
  return true;
}

std::shared_ptr<VCardBooks> VCardBooks::Load(const std::vector<std::string>& paths) {
  std::vector<Book> books;
  std::vector<std::string> problems;
  for (const std::string& path : paths) {
    Book book;
    std::string problem;
    LoadBook(path, &book, &problem);
    if (!problem.empty()) problems.push_back(problem);
    books.push_back(std::move(book));
  }
  auto loaded = FromBooks(std::move(books));
  loaded->problems_ = std::move(problems);
  return loaded;
}

std::shared_ptr<VCardBooks> VCardBooks::FromBooks(std::vector<Book> books) {
  std::shared_ptr<VCardBooks> made(new VCardBooks());
  for (std::size_t b = 0; b < books.size(); ++b) {
    std::vector<Entry> entries;
    for (const VCard& card : books[b].cards) {
      for (const std::string& email : card.emails) entries.push_back({card.displayName, email});
      // The Contacts folder shows a contact without address too; the address book
      // lists addresses only.
      if (card.emails.empty() && b == 0) entries.push_back({card.displayName, ""});
    }
    made->entries_.push_back(std::move(entries));
  }
  made->books_ = std::move(books);
  return made;
}

EntryId VCardBooks::ContactsFolderId() const {
  return books_.empty() ? EntryId() : MakeId(Kind::kFolder);
}

Result<OpenedEntry> VCardBooks::OpenEntry(const EntryId& id, std::uint32_t) {
  std::optional<Parsed> p = id.empty() ? std::optional<Parsed>(Parsed{Kind::kRoot}) : ParseId(id);
  if (!p) return MAPI_E_INVALID_ENTRYID;
  const auto entryOf = [&](std::size_t book, std::size_t index) -> const Entry* {
    if (book >= entries_.size() || index >= entries_[book].size()) return nullptr;
    return &entries_[book][index];
  };
  const auto itemValues = [&](Kind kind, std::uint32_t book, std::uint32_t index) {
    const Entry& e = entries_[book][index];
    const EntryId own = MakeId(kind, book, index);
    std::vector<PropValue> v = {PropValue::Id(PR_ENTRYID, own),
                                PropValue::Bin(PR_RECORD_KEY, std::string(own.bytes())),
                                PropValue::String8(PR_DISPLAY_NAME, e.name)};
    if (kind == Kind::kItem) {
      v.push_back(PropValue::ULong(PR_OBJECT_TYPE, MAPI_MESSAGE));
      v.push_back(PropValue::String8(PR_MESSAGE_CLASS, "IPM.Contact"));
      v.push_back(PropValue::Id(PR_PARENT_ENTRYID, MakeId(Kind::kFolder)));
      if (!e.email.empty()) {
        v.push_back(PropValue::String8(PROP_TAG(PT_STRING8, kEmail1PropId), e.email));
      }
    } else {
      v.push_back(PropValue::ULong(PR_OBJECT_TYPE, MAPI_MAILUSER));
      v.push_back(PropValue::String8(PR_EMAIL_ADDRESS, e.email));
      v.push_back(PropValue::String8(PR_ADDRTYPE, "SMTP"));
    }
    return v;
  };
  const auto contents = [&](Kind kind, std::uint32_t book) {
    std::vector<std::vector<PropValue>> rows;
    for (std::uint32_t i = 0; book < entries_.size() && i < entries_[book].size(); ++i) {
      rows.push_back(itemValues(kind, book, i));
    }
    return rows;
  };
  switch (p->kind) {
    case Kind::kRoot: {
      std::vector<std::vector<PropValue>> hierarchy;
      for (std::uint32_t b = 1; b < books_.size(); ++b) {
        hierarchy.push_back({PropValue::Id(PR_ENTRYID, MakeId(Kind::kContainer, b)),
                             PropValue::ULong(PR_OBJECT_TYPE, MAPI_ABCONT),
                             PropValue::String8(PR_DISPLAY_NAME, books_[b].name),
                             PropValue::Long(PR_DEPTH, 1)});
      }
      std::vector<PropValue> values = {PropValue::Id(PR_ENTRYID, MakeId(Kind::kRoot)),
                                       PropValue::ULong(PR_OBJECT_TYPE, MAPI_ABCONT)};
      if (!books_.empty())
        values.push_back(PropValue::Id(PR_IPM_CONTACT_ENTRYID, MakeId(Kind::kFolder)));
      auto folder =
          std::make_shared<BookFolder>(std::move(values), std::vector<std::vector<PropValue>>{},
                                       std::move(hierarchy), std::vector<PropTag>{}, MAPI_ABCONT);
      return Ok(OpenedEntry{MAPI_ABCONT, std::make_shared<BookContainer>(std::move(folder))});
    }
    case Kind::kContainer: {
      if (p->book == 0 || p->book >= books_.size() || p->index != 0) return MAPI_E_NOT_FOUND;
      const EntryId own = MakeId(Kind::kContainer, p->book);
      std::vector<PropValue> values = {
          PropValue::Id(PR_ENTRYID, own), PropValue::ULong(PR_OBJECT_TYPE, MAPI_ABCONT),
          PropValue::String8(PR_DISPLAY_NAME, books_[p->book].name),
          PropValue::Bin(PR_DEF_CREATE_MAILUSER, "vcard:" + std::string(own.bytes()))};
      auto folder = std::make_shared<BookFolder>(
          std::move(values), contents(Kind::kUser, p->book), std::vector<std::vector<PropValue>>{},
          std::vector<PropTag>{PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,
                               PR_ADDRTYPE},
          MAPI_ABCONT);
      return Ok(OpenedEntry{MAPI_ABCONT, std::make_shared<BookContainer>(std::move(folder))});
    }
    case Kind::kFolder: {
      if (books_.empty() || p->book != 0 || p->index != 0) return MAPI_E_NOT_FOUND;
      std::vector<PropValue> values = {
          PropValue::Id(PR_ENTRYID, MakeId(Kind::kFolder)),
          PropValue::ULong(PR_OBJECT_TYPE, MAPI_FOLDER),
          PropValue::String8(PR_DISPLAY_NAME, "Contacts"),
          PropValue::String8(PR_CONTAINER_CLASS, "IPF.Contact"),
          PropValue::Long(PR_CONTENT_COUNT, static_cast<std::int32_t>(entries_[0].size()))};
      auto folder = std::make_shared<BookFolder>(
          std::move(values), contents(Kind::kItem, 0), std::vector<std::vector<PropValue>>{},
          std::vector<PropTag>{PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME, PR_MESSAGE_CLASS},
          MAPI_FOLDER);
      return Ok(OpenedEntry{MAPI_FOLDER, std::move(folder)});
    }
    case Kind::kUser:
    case Kind::kItem: {
      const bool item = p->kind == Kind::kItem;
      if ((item ? p->book != 0 : p->book == 0) || !entryOf(p->book, p->index)) {
        return MAPI_E_NOT_FOUND;
      }
      const std::uint32_t type = item ? MAPI_MESSAGE : MAPI_MAILUSER;
      return Ok(
          OpenedEntry{type, std::make_shared<Item>(type, itemValues(p->kind, p->book, p->index))});
    }
  }
  return MAPI_E_NOT_FOUND;
}

}  // namespace quorvel::mapi::vcard
